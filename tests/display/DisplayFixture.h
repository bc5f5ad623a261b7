#pragma once
// A driver binding over a simulated rig with displays, a fake clock and a manual event loop.
#include "gpu/DisplayEntries.h"
#include "gpu/DriverBinding.h"
#include "sim/Simulator.h"
#include "support/FakeClock.h"
#include "support/ManualEventLoop.h"
#include "support/RigBuilder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace vx::displaytest {

inline constexpr uint32_t kMonitorId = 0x80061001;
inline constexpr uint32_t kDeviceId = 0x80061002;

inline sim::DisplayModel Monitor(uint32_t id = kMonitorId, uint32_t pixelClock10kHz = 14850) {
    sim::DisplayModel monitor;
    monitor.displayId = id;
    monitor.name = "\\\\.\\DISPLAY" + std::to_string(id & 0xFF);
    monitor.pixelClock10kHz = pixelClock10kHz;
    return monitor;
}

inline sim::DisplayModel PanelDevice(uint8_t panels = 2, bool locked = true, uint32_t id = kDeviceId) {
    sim::DisplayModel device = Monitor(id, 26760);
    device.width = 3840;
    device.dp = sim::DpDeviceConfig{true, panels, "TLX2-1.04.7", locked, false};
    return device;
}

class DisplayRig : public ::testing::Test {
protected:
    void Start(std::vector<sim::DisplayModel> displays) {
        Start(test::RigBuilder().Gpu(0x1B82).Displays(std::move(displays)).Build());
    }
    void Start(sim::Rig rig) {
        binding.reset();
        simulator = std::make_unique<sim::Simulator>(std::move(rig));
        simulator->Activate();
        binding = std::make_unique<driver::DriverBinding>(driver::InProcessOpener(sim::Simulator::QueryInterface()));
        ASSERT_EQ(binding->DriverInitialize(), 0);
    }
    std::vector<sim::CallRecord> CallsTo(uint32_t id) const { return simulator->CallsTo(id); }
    sim::DisplayModel DisplayNow(std::size_t gpu = 0, std::size_t slot = 0) {
        std::lock_guard lock(simulator->mutex());
        return simulator->rig().gpus[gpu].displays[slot];
    }

    test::FakeClock clock;
    test::ManualEventLoop loop{clock};
    std::vector<std::string> traces;
    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<driver::DriverBinding> binding;
};

}  // namespace vx::displaytest
