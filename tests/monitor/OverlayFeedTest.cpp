// The on-screen display feed over the sampling loop: the fields and texts an overlay reads back
// through its own mapping of each shared object, the feed file, and the order of the stop.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <thread>

#include "app/CSetDialog.h"
#include "monitor/MonitorFixture.h"
#include "monitor/OverlayFeed.h"
#include "platform/posix/PosixOverlayBridge.h"
#include "support/TempDir.h"

namespace vx::monitortest {
namespace {

using platform::OverlayObject;
namespace field = platform::overlay;

// An overlay's own view of one object, mapped as a reader (or, to play the library, a writer) would.
class Mapping {
public:
    Mapping(const std::string& name, std::size_t size, bool writable = false) : size_(size) {
        const int fd = ::shm_open(name.c_str(), writable ? O_RDWR : O_RDONLY, 0);
        if (fd < 0) return;
        void* base = ::mmap(nullptr, size, writable ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, fd, 0);
        ::close(fd);
        if (base != MAP_FAILED) base_ = static_cast<unsigned char*>(base);
    }
    ~Mapping() {
        if (base_) ::munmap(base_, size_);
    }
    bool ok() const { return base_ != nullptr; }
    uint8_t Byte(std::size_t offset) const { return base_[offset]; }
    uint32_t Word(std::size_t offset) const {
        uint32_t value = 0;
        std::memcpy(&value, base_ + offset, sizeof value);
        return value;
    }
    void SetWord(std::size_t offset, uint32_t value) { std::memcpy(base_ + offset, &value, sizeof value); }
    std::string Narrow(std::size_t offset) const { return reinterpret_cast<const char*>(base_ + offset); }
    std::u16string Wide(std::size_t offset) const {
        std::u16string text;
        for (char16_t unit; std::memcpy(&unit, base_ + offset + text.size() * 2, 2), unit != 0;) text.push_back(unit);
        return text;
    }

private:
    unsigned char* base_ = nullptr;
    std::size_t size_;
};

// The feed file is replaced on a thread of its own: its content once it reads `expected`, else
// what it held after 5 s.
std::string FeedOnceItReads(const std::filesystem::path& file, const std::string& expected) {
    std::string got;
    for (int i = 0; i < 500 && (got = test::TempDir::ReadFile(file)) != expected; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return got;
}

std::string UniqueName(const char* object) {
    static std::atomic<int> counter{0};
    return "/vx-test-" + std::string(object) + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

class OverlayFeedTest : public MonitorFixture {
protected:
    ~OverlayFeedTest() override {
        ::shm_unlink(hookName.c_str());  // where a test stopped before the feed did
        ::shm_unlink(osdName.c_str());
    }

    test::TempDir dir;
    std::string hookName = UniqueName("DX11_Shared");
    std::string osdName = UniqueName("sg_Shared");
    platform::PosixOverlayBridge bridge{hookName, osdName, dir / "osd.txt"};
    std::unique_ptr<monitor::OverlayFeed> feed;
};

TEST_F(OverlayFeedTest, FieldsTextsAndFeedFileReadBackThroughASecondMapping) {
    StartDialog(SteadyRig({tuningtest::kPascalId, tuningtest::kPascalId}));
    settings.osdClockShow = settings.osdTempShow = settings.osdFanSpeedShow = settings.osdFramerateShow = true;
    feed = std::make_unique<monitor::OverlayFeed>(bridge, settings, *dialog, clock);
    feed->Attach(sampleHooks);
    loopUnderTest = std::make_unique<monitor::SampleLoop>(*dialog, settings, store, actions, clock, sampleHooks);
    ASSERT_TRUE(bridge.mapped(OverlayObject::kHookControl) && bridge.mapped(OverlayObject::kOsdShared));
    Mapping hook(hookName, field::kHookObjectSize, true), osd(osdName, field::kOsdObjectSize, true);
    ASSERT_TRUE(hook.ok() && osd.ok());

    feed->InitOverlay(0);
    EXPECT_EQ(hook.Byte(field::kActiveFlag), 1);
    EXPECT_EQ(hook.Byte(field::kHookFramerate), 1);
    EXPECT_EQ(hook.Byte(field::kHookGpuCount), 2);
    EXPECT_EQ(hook.Word(field::kHookProcessId), static_cast<uint32_t>(::getpid()));
    EXPECT_EQ(osd.Byte(field::kOsdFramerate), 1);
    EXPECT_EQ(osd.Byte(field::kOsdGpuCount), 2);
    // No Direct3D here: the probes' offsets stay unwritten.
    for (std::size_t offset : {field::kHookSwapChain, field::kHookPresent}) EXPECT_EQ(hook.Word(offset), 0u);
    for (std::size_t offset : {field::kOsdPresent, field::kOsdReset}) EXPECT_EQ(osd.Word(offset), 0u);

    loopUnderTest->SampleTick();
    EXPECT_EQ(hook.Byte(field::kHookOverlayOn), 1);
    const tuning::LiveFields& live = dialog->record(1).live;
    char gpu1[160];
    std::snprintf(gpu1, sizeof gpu1, "GPU1 GPU:%dMHZ SHADER:%dMHZ MEM:%dMHZ \nTEMP:%d\rC FAN:%d%%\n", live.graphicsClock,
                  live.processorClock, live.memoryClock, live.temperature, live.fanPercent);
    const std::string narrow = osd.Narrow(field::kOsdTextOffset);
    EXPECT_EQ(narrow.rfind("GPU0 GPU:", 0), 0u) << narrow;
    EXPECT_NE(narrow.find(gpu1), std::string::npos) << narrow;
    const std::u16string wide = hook.Wide(field::kHookTextOffset);
    EXPECT_NE(wide.find(u" \u2103  FAN:"), std::u16string::npos);
    const std::string shown = platform::MangoHudText(wide);
    EXPECT_EQ(FeedOnceItReads(dir / "osd.txt", shown), shown);

    // The settings dialog's OK: the Direct3D 9 side at once, the other at the next sample.
    settings.osdFramerateShow = false;
    loopUnderTest->SettingsDialogHooks().setFramerateFeed(false);
    EXPECT_EQ(osd.Byte(field::kOsdFramerate), 0);
    EXPECT_EQ(hook.Byte(field::kHookFramerate), 1);
    settings.osdClockShow = settings.osdTempShow = settings.osdFanSpeedShow = false;
    loopUnderTest->SampleTick();
    EXPECT_EQ(hook.Byte(field::kHookFramerate), 0);
    EXPECT_EQ(hook.Byte(field::kHookOverlayOn), 0);
    EXPECT_EQ(osd.Narrow(field::kOsdTextOffset), "");  // handed over even when empty
    EXPECT_EQ(FeedOnceItReads(dir / "osd.txt", ""), "");

    hook.SetWord(field::kRunWord, 0xFFFFFFFF);  // as the libraries leave them while they run
    osd.SetWord(field::kRunWord, 0xFFFFFFFF);
    const uint64_t sleptBefore = clock.slept;
    feed->StopOverlay();
    EXPECT_EQ(hook.Word(field::kRunWord), 0u);
    EXPECT_EQ(hook.Byte(field::kActiveFlag), 0);
    EXPECT_EQ(osd.Word(field::kRunWord), 0u);
    EXPECT_EQ(osd.Byte(field::kStopFlag), 1);
    EXPECT_EQ(clock.slept - sleptBefore, monitor::OverlayFeed::kStopPauseMs);
    EXPECT_FALSE(std::filesystem::exists(dir / "osd.txt")) << "a stale value never shows";
    EXPECT_FALSE(Mapping(hookName, field::kHookObjectSize).ok());
    EXPECT_FALSE(Mapping(osdName, field::kOsdObjectSize).ok());
}

TEST_F(OverlayFeedTest, AFeedFileLeftByAnEarlierRunIsRemovedAtStart) {
    std::ofstream(dir / "stale.txt") << "TEMP:99";
    platform::PosixOverlayBridge again(UniqueName("DX11_Shared"), UniqueName("sg_Shared"), dir / "stale.txt");
    EXPECT_FALSE(std::filesystem::exists(dir / "stale.txt"));
    again.HookCBT_Uninstall();  // its shared objects go too
}

// Every call the feed makes on the libraries, in order.
class RecordingBridge : public platform::OverlayBridge {
public:
    std::optional<platform::Direct3D11Offsets> ProbeDirect3D11(platform::OverlayWindow) override {
        calls.push_back("probe11");
        return platform::Direct3D11Offsets{0x11, 0x22};
    }
    std::optional<platform::Direct3D9Offsets> ProbeDirect3D9(platform::OverlayWindow) override {
        calls.push_back("probe9");
        return std::nullopt;
    }
    uint32_t WindowProcessId(platform::OverlayWindow) override { return 77; }
    void InitMasterWnd(OverlayObject object, platform::OverlayWindow window) override {
        calls.push_back(Name(object) + ".InitMasterWnd " + std::to_string(window));
    }
    void WriteByte(OverlayObject object, std::size_t offset, uint8_t value) override { Note(object, offset, value); }
    void WriteWord(OverlayObject object, std::size_t offset, uint32_t value) override { Note(object, offset, value); }
    void SetHookText(std::u16string_view) override { calls.push_back("hook.SetOsdInf"); }
    void SetOsdText(std::string_view) override { calls.push_back("osd.SetOsdInf"); }
    void HookCBT_Uninstall() override { calls.push_back("osd.HookCBT_Uninstall"); }

    std::vector<std::string> calls;
    test::FakeClock* clock = nullptr;

private:
    static std::string Name(OverlayObject object) { return object == OverlayObject::kHookControl ? "hook" : "osd"; }
    void Note(OverlayObject object, std::size_t offset, uint32_t value) {
        char text[48];
        std::snprintf(text, sizeof text, "%s[0x%zX]=%u@%llu", Name(object).c_str(), offset, value,
                      static_cast<unsigned long long>(clock->slept.load()));
        calls.push_back(text);
    }
};

TEST_F(OverlayFeedTest, StartPublishAndStopCallTheLibrariesInOrder) {
    StartDialog(SteadyRig({tuningtest::kPascalId}));
    settings.osdFramerateShow = true;
    RecordingBridge recorder;
    recorder.clock = &clock;
    const uint64_t t = clock.slept;
    monitor::OverlayFeed order(recorder, settings, *dialog, clock);
    order.InitOverlay(5);
    order.AppendGpuOverlay(0);
    order.PublishOverlay();
    order.StopOverlay();
    order.PublishOverlay();  // after the stop nothing reaches the libraries
    const std::string at0 = "@" + std::to_string(t), at50 = "@" + std::to_string(t + 50);
    EXPECT_EQ(recorder.calls,
              (std::vector<std::string>{"probe11", "hook[0x110]=17" + at0, "hook[0x114]=34" + at0,
                                        "hook.InitMasterWnd 5", "hook[0x10C]=1" + at0, "hook[0x10E]=1" + at0,
                                        "hook[0x4]=1" + at0, "hook[0x118]=77" + at0, "probe9",
                                        "osd.InitMasterWnd 5", "osd[0xA894]=1" + at0, "osd[0xA895]=1" + at0,
                                        "hook[0x10D]=1" + at0, "osd.SetOsdInf", "hook[0x10C]=1" + at0,
                                        "hook.SetOsdInf", "hook[0x0]=0" + at0, "hook[0x4]=0" + at0,
                                        "osd[0x0]=0" + at50, "osd[0x4]=1" + at50, "osd.HookCBT_Uninstall"}));
}

}  // namespace
}  // namespace vx::monitortest
