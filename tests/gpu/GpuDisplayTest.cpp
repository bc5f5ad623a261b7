// DPCD access through GpuAccess, as the settings dialog uses it.
#include "display/DisplayFixture.h"
#include "gpu/SimulatedGpus.h"

#include <gmock/gmock.h>

namespace vx::gputest {
namespace {

using ::testing::ElementsAre;

class GpuDisplay : public SimulatedGpus {
protected:
    void StartWith(sim::DisplayModel display) {
        sim::GpuModel gpu = Gpu(0x1B82);
        gpu.displays = {std::move(display)};
        ASSERT_EQ(StartAndInitialize(RigOf({gpu})), 0);
        simulator->ClearCalls();
    }
    std::vector<int64_t> AuxSizes() const {
        std::vector<int64_t> sizes;
        for (const auto& call : simulator->CallsTo(nvapi::DISP_DpAuxChannelControl)) sizes.push_back(call.args[3]);
        return sizes;
    }
};

TEST_F(GpuDisplay, DpcdGoesThroughTheDisplayFoundByItsName) {
    StartWith(displaytest::PanelDevice(3, false));
    uint8_t written[20] = {'K', 'E', 'S', 'T', 'R', 'A'};
    EXPECT_EQ(gpus->DpcdWrite(0, 0x4C0, 20, written), 0);
    EXPECT_THAT(AuxSizes(), ElementsAre(16, 4));
    uint8_t read[20] = {};
    EXPECT_EQ(gpus->DpcdRead(0, 0x4C0, 20, read), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(read), 6), "KESTRA");
    uint8_t panels = 0;
    EXPECT_EQ(gpus->DpcdRead(0, 0x4A6, 1, &panels), 0);
    EXPECT_EQ(panels, 3);
    EXPECT_EQ(simulator->CallsTo(nvapi::GetAssociatedNvidiaDisplayHandle).size(), 3u) << "refreshed every time";
    EXPECT_TRUE(debugLines.empty());
}

TEST_F(GpuDisplay, FailedTransfersAreNamedAndEndTheTransfer) {
    StartWith(displaytest::Monitor());
    uint8_t data[20] = {};
    EXPECT_EQ(gpus->DpcdRead(0, 0x4C0, 20, data), nvapi::NOT_SUPPORTED);
    EXPECT_THAT(AuxSizes(), ElementsAre(16));
    EXPECT_THAT(debugLines, ElementsAre("NVAPI_NOT_SUPPORTED\r\n"));
    EXPECT_EQ(gpus->DpcdRead(1, 0x4C0, 1, data), nvapi::INVALID_ARGUMENT) << "no such GPU";
}

}  // namespace
}  // namespace vx::gputest
