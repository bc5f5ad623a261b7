// The phone joined to the main dialog and the sampling loop over a simulated rig, through a
// real loopback server: pushes every tick, remote applies and their notices, buttons.
#include <gtest/gtest.h>

#include <thread>

#include "app/CMultiLangSupp.h"
#include "monitor/MonitorFixture.h"
#include "remote/PhoneClient.h"
#include "remote/RemoteControl.h"
#include "remote/RemoteProtocol.h"
#include "support/TempDir.h"

namespace vx::remote {
namespace {

using test::PhoneClient;

class RemoteControlTest : public monitortest::MonitorFixture {
protected:
    ~RemoteControlTest() override {
        // The dialog's hooks reach `control`: the dialog goes while the pointer still exists.
        phone.reset();
        loopUnderTest.reset();
        control.reset();
        dialog.reset();
    }
    void SetUp() override {
        for (const char* name : {document::kInitInfo, document::kCurrInfo, document::kPcInfo, document::kInfo})
            std::filesystem::copy_file(std::filesystem::path(VX_TEST_ASSETS) / name, dir / name);
    }

    /// The dialog over `rig` with the sampling loop, the phone server on an ephemeral port and
    /// a logged-in phone.
    void Connect(sim::Rig rig) {
        RemoteControl::AddDialogHooks(hooks, control);
        const auto finished = hooks.remoteApplyFinished;
        hooks.remoteApplyFinished = [this, finished](bool applied) {
            ++remoteApplies;
            finished(applied);
        };
        Start(std::move(rig));
        control = std::make_unique<RemoteControl>(dlg(), loop, prompts, settings, store, clock,
                                                  ServerOptions{"127.0.0.1", 0, dir.path(), {}, {}});
        control->AddSampleHooks(sampleHooks);
        dlg().OnInitDialog(1);
        control->FillInitInfo();
        ASSERT_TRUE(control->Start());
        loopUnderTest = std::make_unique<monitor::SampleLoop>(dlg(), settings, store, actions, clock, sampleHooks,
                                                              [] { return 0; });
        loopUnderTest->Start(loop);
        phone = std::make_unique<PhoneClient>(control->server().Port());
        phone->Send(EncodeFrame(command::kLogin, "482915"));
        const std::optional<Frame> reply = phone->Receive();
        ASSERT_TRUE(reply && reply->code == message::kInitInfo);
        initInfo = reply->body;
    }

    /// Runs posted tasks (the server's requests, the worker's report) until `done` holds.
    bool PumpUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 50000; ++i) {
            loop.RunPending();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        return false;
    }
    /// The next frame the phone receives, skipping the per-tick pushes.
    std::optional<Frame> NextNotice() {
        for (;;) {
            std::optional<Frame> frame = phone->Receive();
            if (!frame || frame->code != message::kCurrInfo) return frame;
        }
    }
    void SendInfo(const std::string& body) { phone->Send(EncodeFrame(command::kInfoDocument, body)); }
    static std::string InfoXml(int gpu, int mode, int core, int shader, int memory, int fan) {
        return "<Info><GpuIdex>" + std::to_string(gpu) + "</GpuIdex><ModeIdex>" + std::to_string(mode) +
               "</ModeIdex><GpuClock>" + std::to_string(core) + "</GpuClock><ShaderClock>" + std::to_string(shader) +
               "</ShaderClock><MemoryClock>" + std::to_string(memory) + "</MemoryClock><FanSpeed>" +
               std::to_string(fan) + "</FanSpeed><Blink>1</Blink><BFanAuto>0</BFanAuto></Info>";
    }
    std::array<int32_t, 4> Sliders() {
        const tuning::MainSliders& s = dlg().sliders;
        return {s.coreClock.GetPos(), s.shaderClock.GetPos(), s.memoryClock.GetPos(), s.fanSpeed.GetPos()};
    }

    test::TempDir dir;
    int remoteApplies = 0;  // 15 or 16 told to the phone
    std::unique_ptr<RemoteControl> control;
    std::unique_ptr<PhoneClient> phone;
    std::string initInfo;
};

TEST_F(RemoteControlTest, EveryTickPushesCurrInfoAndNothingWhenItIsDeleted) {
    Connect(monitortest::SteadyRig({tuningtest::kKeplerId}));
    Samples(2);
    std::vector<std::string> pushed;
    for (int i = 0; i < 2; ++i) {
        const std::optional<Frame> push = phone->Receive();
        ASSERT_TRUE(push);
        EXPECT_EQ(push->code, message::kCurrInfo);
        EXPECT_NE(push->body.find("<GpuDescribe>" + rig().gpus[0].name + "</GpuDescribe>"), std::string::npos);
        pushed.push_back(push->body);
    }
    EXPECT_NE(pushed[0], pushed[1]);  // the sample's time
    EXPECT_EQ(pushed[1], test::TempDir::ReadFile(dir / document::kCurrInfo));
    std::filesystem::remove(dir / document::kCurrInfo);
    SetTemperature(0, 77);
    Samples(1);
    control->server().SendNotice(message::kRemoteApplied);  // the tick's frame would come first
    const std::optional<Frame> next = phone->Receive();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->code, message::kRemoteApplied);
    EXPECT_FALSE(std::filesystem::exists(dir / document::kCurrInfo));
    EXPECT_NE(test::TempDir::ReadFile(dir / document::kInitInfo).find("<Temperature>77</Temperature>"),
              std::string::npos);
}

TEST_F(RemoteControlTest, RemoteApplySends15AndAFailedOneRollsBackAndSends16) {
    Connect(Pstates20Rig());
    std::filesystem::remove(dir / document::kCurrInfo);  // no pushes in between
    const std::array<int32_t, 4> before = Sliders();
    SendInfo(InfoXml(0, 2, before[0] + 20, before[1], before[2], 60));
    ASSERT_TRUE(PumpUntil([&] { return dlg().remoteApplyPending.load(); }));
    ASSERT_TRUE(PumpUntil([&] { return !dlg().remoteApplyPending.load(); }));
    std::optional<Frame> notice = NextNotice();
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->code, message::kRemoteApplied);
    EXPECT_EQ(dlg().sliders.fanSpeed.GetPos(), 60);
    EXPECT_TRUE(dlg().buttons.linkCoreShader.Shows(tuning::image::kLinked));
    EXPECT_TRUE(dlg().buttons.fanMode.Shows(tuning::image::kFanManual));

    const std::array<int32_t, 4> shown = Sliders();
    simulator->ForceStatus(nvapi::GPU_GetPerfClocks, -5);
    SendInfo(InfoXml(0, 2, shown[0] + 10, shown[1], shown[2], 80));
    ASSERT_TRUE(PumpUntil([&] { return dlg().remoteApplyPending.load(); }));
    ASSERT_TRUE(PumpUntil([&] { return !dlg().remoteApplyPending.load(); }));
    notice = NextNotice();
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->code, message::kRemoteApplyFailed);
    EXPECT_EQ(Sliders(), shown);
    EXPECT_EQ(CountShown(app::Text(app::msg::kApplyFailed)), 0);
}

TEST_F(RemoteControlTest, SecondDocumentDuringARemoteApplyStartsNoSecondWorker) {
    Connect(Pstates20Rig());
    std::filesystem::remove(dir / document::kCurrInfo);
    control->ApplyRemoteSettings(RemoteSettings{0, 2, 0, 0, 0, 50, 1, 0}, true);
    ASSERT_TRUE(dlg().remoteApplyRunning);
    control->ApplyRemoteSettings(RemoteSettings{0, 2, 0, 0, 0, 70, 1, 0}, true);
    EXPECT_EQ(dlg().sliders.fanSpeed.GetPos(), 70);  // the controls follow the second document
    ASSERT_TRUE(PumpUntil([&] { return !dlg().remoteApplyPending.load() && !dlg().workerRunning(); }));
    for (int i = 0; i < 20; ++i) loop.RunPending();
    EXPECT_EQ(remoteApplies, 1);
}

TEST_F(RemoteControlTest, UploadWithoutLoginMovesNoControl) {
    Connect(Pstates20Rig());
    phone.reset();  // the logged-in phone leaves
    ASSERT_TRUE(PumpUntil([&] { return !control->server().Flags().clientConnected; }));
    PhoneClient stranger(control->server().Port());
    const std::array<int32_t, 4> before = Sliders();
    stranger.Send(EncodeFrame(command::kInfoDocument, InfoXml(0, 1, 1, 1, 1, 99)) + EncodeFrame(command::kLogin, "1"));
    ASSERT_TRUE(stranger.Receive());  // code 6: the upload before it was handled
    for (int i = 0; i < 20; ++i) loop.RunPending();
    EXPECT_EQ(Sliders(), before);
    EXPECT_FALSE(dlg().remoteApplyPending);
}

TEST_F(RemoteControlTest, LocalApplyWithAClientSends17WithPcInfo) {
    Connect(Pstates20Rig());
    std::filesystem::remove(dir / document::kCurrInfo);
    dlg().ShowPage(tuning::kPageOverclock);
    dlg().ApplySettings();
    ASSERT_TRUE(PumpUntil([&] { return dlg().buttons.apply.IsEnabled() && !dlg().workerRunning(); }));
    const std::optional<Frame> push = NextNotice();
    ASSERT_TRUE(push);
    EXPECT_EQ(push->code, message::kPcInfo);
    EXPECT_EQ(push->body, test::TempDir::ReadFile(dir / document::kPcInfo));
    EXPECT_NE(push->body.find("<BFanAuto>"), std::string::npos);
}

TEST_F(RemoteControlTest, ButtonCommandsPressTheMainWindowsButtons) {
    Connect(DemoRig());
    std::filesystem::remove(dir / document::kCurrInfo);
    dlg().SelectGpu(1);
    phone->Send(EncodeFrame(command::kSelectGpu0) + EncodeFrame(command::kSelectGpu2));  // GPU 2 does not exist
    ASSERT_TRUE(PumpUntil([&] { return dlg().currentGpu() == 0; }));
    EXPECT_NE(initInfo.find("<GpuDescribe>" + rig().gpus[0].name + "</GpuDescribe>"), std::string::npos);
}

}  // namespace
}  // namespace vx::remote
