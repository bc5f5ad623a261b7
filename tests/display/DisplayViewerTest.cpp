// The display viewer against the simulated DisplayPort device: pieces of a transfer, the
// mailbox (unlock, busy bit, result), the wide timing list, and the dialog's bezel and Set.
#include "display/CViewDlg.h"
#include "display/DisplayFixture.h"
#include "display/DisplayViewer.h"
#include "gpu/DpAux.h"
#include "support/ScriptedPrompts.h"

#include <gmock/gmock.h>

#include <cstring>

namespace vx::displaytest {
namespace {

using display::DisplayEntry;
using display::DisplayViewer;
using display::MailboxKind;
using ::testing::ElementsAre;

class Viewer : public DisplayRig {
protected:
    void Open(std::vector<sim::DisplayModel> displays) {
        Start(std::move(displays));
        viewer = std::make_unique<DisplayViewer>(*binding, clock);
        ASSERT_EQ(viewer->ViewerOpen(), 0);
        ASSERT_EQ(viewer->ListDisplays(list), 0);
        simulator->ClearCalls();
    }
    /// (command, address, byte count) of every AUX request.
    std::vector<std::vector<int64_t>> AuxRequests() const {
        std::vector<std::vector<int64_t>> requests;
        for (const auto& call : CallsTo(nvapi::DISP_DpAuxChannelControl))
            requests.push_back({call.args.begin() + 1, call.args.end()});
        return requests;
    }

    std::unique_ptr<DisplayViewer> viewer;
    std::vector<DisplayEntry> list;
};

TEST_F(Viewer, ListsAttachedDisplaysFirst) {
    sim::DisplayModel spare = Monitor(0x80061003);
    spare.attached = false;
    Open({spare, Monitor(), PanelDevice()});
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].displayId, kMonitorId);
    EXPECT_EQ(list[1].displayId, kDeviceId);
    EXPECT_EQ(list[2].displayId, 0x80061003u);
    EXPECT_EQ(list[2].attached, 0u);
    EXPECT_EQ(list[0].name, "\\\\.\\DISPLAY1");
    EXPECT_EQ(viewer->ViewerOpen(), -1) << "a second open";
}

TEST_F(Viewer, TransfersGoInPiecesOfSixteenBytes) {
    Open({PanelDevice()});
    uint8_t data[40] = {};
    EXPECT_EQ(viewer->DpcdRead(list[0], 0x400, 40, data), 0);
    EXPECT_THAT(AuxRequests(), ElementsAre(ElementsAre(nvapi::kAuxNativeRead, 0x400, 16),
                                           ElementsAre(nvapi::kAuxNativeRead, 0x410, 16),
                                           ElementsAre(nvapi::kAuxNativeRead, 0x420, 8)));
    uint8_t byte = 0;
    EXPECT_EQ(viewer->AuxTransfer(list[0], 0, 0x400, &byte, 0), -2);
    EXPECT_EQ(DisplayViewer(*binding, clock).AuxTransfer(list[0], 0, 0x400, &byte, 1), -1) << "not open";
}

TEST_F(Viewer, CommandsFollowTheTransferFlags) {
    using namespace dpaux;
    EXPECT_EQ(CommandFor(0), nvapi::kAuxNativeRead);
    EXPECT_EQ(CommandFor(kFlagWrite), nvapi::kAuxNativeWrite);
    EXPECT_EQ(CommandFor(kFlagI2c), nvapi::kAuxI2cRead);
    EXPECT_EQ(CommandFor(kFlagI2c | kFlagWrite), nvapi::kAuxI2cWrite);
    EXPECT_EQ(CommandFor(kFlagI2c | kFlagMiddleOfTransaction), nvapi::kAuxI2cReadMot);
    EXPECT_EQ(CommandFor(kFlagI2c | kFlagWrite | kFlagMiddleOfTransaction), nvapi::kAuxI2cWriteMot);
    EXPECT_EQ(CommandFor(kFlagSpecial | kFlagWrite), nvapi::kAuxSpecial);
}

TEST_F(Viewer, ALockedDeviceIsUnlockedBeforeItsIdentityIsRead) {
    for (bool locked : {true, false}) {
        Open({PanelDevice(2, locked)});
        EXPECT_EQ(viewer->IdentifyDevice(list[0]), 0);
        std::vector<int64_t> commandWrites;  // what went to the command register, in order
        std::vector<int64_t> dataWrites;
        for (const auto& r : AuxRequests()) {
            if (r[0] == nvapi::kAuxNativeWrite && r[1] == 0x4B2) commandWrites.push_back(r[2]);
            if (r[0] == nvapi::kAuxNativeWrite && r[1] == 0x4C0) dataWrites.push_back(r[2]);
        }
        EXPECT_EQ(commandWrites.size(), locked ? 2u : 1u);
        EXPECT_EQ(dataWrites, locked ? std::vector<int64_t>{6} : std::vector<int64_t>{}) << "KESTRA, 6 bytes";
    }
    Open({Monitor()});
    EXPECT_NE(viewer->IdentifyDevice(list[0]), 0) << "a plain monitor answers no AUX";
}

TEST_F(Viewer, AWrongUnlockCodeLeavesTheDeviceLocked) {
    Open({PanelDevice()});
    const uint8_t wrong[6] = {'K', 'E', 'S', 'T', 'R', 'O'};
    EXPECT_EQ(viewer->MailboxWrite(list[0], display::mailbox::kUnlock, 6, 0, wrong), 1);
    uint8_t version[13] = {};
    EXPECT_EQ(viewer->MailboxRead(list[0], 0x30, 13, 95, version), 2) << "locked";
}

TEST_F(Viewer, ADeviceThatStaysBusyGivesUpAfterTenSeconds) {
    for (MailboxKind kind : {MailboxKind::Plain, MailboxKind::Guarded}) {
        sim::DisplayModel device = PanelDevice(2, false);
        device.dp.stuckBusy = true;
        Open({device});
        const uint64_t start = clock.nowMs;
        uint8_t model[2] = {};
        EXPECT_EQ(viewer->MailboxRead(list[0], display::mailbox::kIdentify, 2, 0, model, kind), -1);
        EXPECT_GE(clock.nowMs - start, 10000u);
        EXPECT_LT(clock.nowMs - start, 10100u);
    }
}

// A driver that claims to have moved 16 bytes whatever was asked.
int32_t OverlongAuxReply(nvapi::DisplayHandle, nvapi::AuxRequest* request, uint32_t) {
    std::memset(request->data, 0xAA, sizeof request->data);
    request->size = 15;
    request->reply = 0;
    return nvapi::OK;
}
void* OverlongQuery(uint32_t id) {
    if (id == nvapi::DISP_DpAuxChannelControl) return reinterpret_cast<void*>(&OverlongAuxReply);
    return sim::Simulator::QueryInterface()(id);
}

TEST_F(Viewer, AReplyLongerThanAskedStaysInsideTheCallersBuffer) {
    Open({PanelDevice()});
    driver::DriverBinding overlong(driver::InProcessOpener(&OverlongQuery));
    ASSERT_EQ(overlong.DriverInitialize(), 0);
    uint8_t buffer[8] = {0, 0, 0, 0, 0x11, 0x22, 0x33, 0x44};
    DisplayViewer reader(overlong, clock);
    ASSERT_EQ(reader.ViewerOpen(), 0);
    EXPECT_EQ(reader.DpcdRead(list[0], 0x4C0, 4, buffer), 0);
    EXPECT_THAT(buffer, ElementsAre(0xAA, 0xAA, 0xAA, 0xAA, 0x11, 0x22, 0x33, 0x44));
}

TEST(WideTimings, FixedBlankingBelow360MegahertzElseFiftyHertz) {
    using namespace display;
    EXPECT_EQ(WideTimingLabel(WideTimingList(2)[9]), "3840X1080@60Hz 267.6MHz 8 bits");
    const WideTiming three = WideTimingList(3)[9];
    EXPECT_EQ(three.refreshMilliHz, 50000u);
    EXPECT_EQ(three.pixelClockHz, 330040000u);
    EXPECT_EQ(WideTimingLabel(three), "5760X1080@50Hz 330.0MHz 8 bits");
    EXPECT_EQ(WideTimingList(1).size(), 11u);
    EXPECT_EQ(WideTimingList(4).size(), 7u) << "from 1600x1200 up, four panels need 360 MHz even at 50 Hz";
    for (uint8_t reported : {0, 5, 255}) EXPECT_EQ(PanelsAcross(reported), 1u);
    EXPECT_EQ(PanelsAcross(3), 3u);
}

class ViewDialog : public Viewer {
protected:
    void OpenDialog(std::vector<sim::DisplayModel> displays) {
        Open(std::move(displays));
        dlg = std::make_unique<display::CViewDlg>(*viewer, prompts);
        dlg->OnInitDialog();
    }
    test::ScriptedPrompts prompts;
    std::unique_ptr<display::CViewDlg> dlg;
};

TEST_F(ViewDialog, ReadsTheFirmwareVersionAndListsTheDevicesTimings) {
    OpenDialog({Monitor(), PanelDevice(2)});
    EXPECT_EQ(dlg->controls().status.text, "FirmWare Version:TLX2-1.04.7");
    ASSERT_EQ(dlg->controls().timings.items.size(), 12u);
    EXPECT_EQ(dlg->controls().timings.items[9], "3840X1080@60Hz 267.6MHz 8 bits");
    EXPECT_EQ(dlg->controls().timings.items.back(), "Manual configure");
    EXPECT_EQ(dlg->controls().data.text, "00 11 22 33 44 55 66 77 88 99 aa bb cc dd ee ff");
    EXPECT_EQ(dlg->controls().operations.items.size(), 7u);
    EXPECT_TRUE(dlg->controls().bezelApply.enabled);

    OpenDialog({Monitor()});
    EXPECT_EQ(dlg->controls().status.text, "Read Firmware Version failed!");
    EXPECT_FALSE(dlg->controls().bezelApply.enabled);
    EXPECT_FALSE(dlg->controls().bezelHorizontal.IsEnabled());
}

TEST_F(ViewDialog, BezelCorrectionIsWrittenThroughTheMailbox) {
    OpenDialog({PanelDevice(2)});
    dlg->controls().bezelHorizontal.SetPos(0x1A);
    dlg->controls().bezelVertical.SetPos(3);
    dlg->OnBezelApply();
    EXPECT_THAT(simulator->DpRegisterWrites(kDeviceId),
                ElementsAre(ElementsAre(0x02, 0x1A), ElementsAre(0x03, 0x03)));
    EXPECT_EQ(display::savedBezelHorizontal, 0x1A);
    EXPECT_EQ(display::savedBezelVertical, 3);
    EXPECT_TRUE(prompts.shown.empty());

    OpenDialog({PanelDevice(2)});
    EXPECT_EQ(dlg->controls().bezelHorizontal.GetPos(), 0x1A) << "restored at the next opening";
    EXPECT_EQ(dlg->controls().bezelHorizontalValue.text, "26");
    display::savedBezelHorizontal = 0;
    display::savedBezelVertical = 0;
}

TEST_F(ViewDialog, ACountThatDoesNotMatchTheDataWritesNothing) {
    OpenDialog({PanelDevice(2)});
    for (const char* data : {"02 1a", "02 1a0", "zz 01 02"}) {
        dlg->controls().data.text = data;
        dlg->controls().count.text = "3";
        simulator->ClearCalls();
        EXPECT_EQ(dlg->WriteDataField(display::mailbox::kRegisterWrite), display::view::kInvalidCountStatus);
        EXPECT_TRUE(AuxRequests().empty()) << data;
    }
    EXPECT_EQ(prompts.shown.size(), 3u);
    EXPECT_EQ(prompts.shown[0].text, "Invalid count value");
    EXPECT_TRUE(simulator->DpRegisterWrites(kDeviceId).empty());
}

TEST_F(ViewDialog, SetTriesTheTimingAndSavesItOnYes) {
    OpenDialog({PanelDevice(2)});
    dlg->controls().timings.Select(9);
    prompts.answers = {ui::BoxAnswer::Yes};
    dlg->OnSet();
    auto tries = CallsTo(nvapi::TryCustomDisplay);
    ASSERT_EQ(tries.size(), 1u);
    // output mask, version, width, height, display ID, pclk (10 kHz), rr
    EXPECT_THAT(tries[0].args, ElementsAre(1, nvapi::kCustomDisplayVer, 3840, 1080, kDeviceId, 26760, 60));
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Do you want to save the timing to windows resolution list");
    EXPECT_EQ(CallsTo(nvapi::SaveCustomDisplay).size(), 1u);

    EXPECT_TRUE(CallsTo(nvapi::DISP_RevertCustomDisplayTrial).empty());

    dlg->controls().timings.Select(0);  // 1600x600, declined: back to what the panels showed
    prompts.answers = {ui::BoxAnswer::No};
    dlg->OnSet();
    EXPECT_EQ(CallsTo(nvapi::DISP_RevertCustomDisplayTrial).size(), 1u);
    EXPECT_EQ(DisplayNow().pixelClock10kHz, 26760u);

    simulator->ForceStatus(nvapi::TryCustomDisplay, nvapi::ERROR);
    dlg->OnSet();
    EXPECT_EQ(prompts.shown.back().text, "Set the customer timing failed");
    EXPECT_EQ(CallsTo(nvapi::SaveCustomDisplay).size(), 1u);
}

}  // namespace
}  // namespace vx::displaytest
