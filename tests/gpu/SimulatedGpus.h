#pragma once
// A GpuAccess bound to a fresh simulator, and small builders for the GPUs it serves.
#include "gpu/DriverBinding.h"
#include "gpu/GpuAccess.h"
#include "sim/Simulator.h"
#include "support/FakeClock.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace vx::gputest {

inline sim::LegacyDomain Domain(uint32_t id, int32_t frequency, int32_t minKhz, int32_t maxKhz) {
    sim::LegacyDomain domain;
    domain.domainId = id;
    domain.frequencyKhz = frequency;
    domain.fourthWord = frequency;
    domain.minKhz = minKhz;
    domain.maxKhz = maxKhz;
    return domain;
}

inline sim::LegacyLevel Level(uint32_t levelId, uint32_t flags, std::vector<sim::LegacyDomain> domains) {
    sim::LegacyLevel level;
    level.levelId = levelId;
    level.flags = flags;
    level.domains = std::move(domains);
    return level;
}

/// 2D, 3D low-power and 3D performance levels with graphics, memory and processor clocks.
inline std::vector<sim::LegacyLevel> ThreeLevels() {
    using nvapi::kClockDomainGraphics, nvapi::kClockDomainMemory, nvapi::kClockDomainProcessor;
    return {
        Level(0, 1, {Domain(kClockDomainGraphics, 135000, 100000, 200000),
                     Domain(kClockDomainMemory, 135000, 110000, 210000),
                     Domain(kClockDomainProcessor, 270000, 120000, 220000)}),
        Level(1, 2, {Domain(kClockDomainGraphics, 405000, 300000, 400000),
                     Domain(kClockDomainMemory, 324000, 310000, 410000),
                     Domain(kClockDomainProcessor, 810000, 320000, 420000)}),
        Level(3, 4, {Domain(kClockDomainGraphics, 700000, 500000, 600000),
                     Domain(kClockDomainMemory, 1000000, 510000, 610000),
                     Domain(kClockDomainProcessor, 1400000, 520000, 620000)}),
    };
}

inline sim::GpuModel Gpu(uint16_t deviceId, uint32_t subsystemId = 0x11111111, bool computeMode = false) {
    sim::GpuModel gpu;
    gpu.pciDeviceId = deviceId;
    gpu.subsystemId = subsystemId;
    gpu.computeMode = computeMode;
    gpu.name = "Test GPU";
    gpu.biosVersion = "80.00.00.00.01";
    gpu.ramType = 8;
    gpu.memoryBusWidth = 256;
    gpu.legacyLevels = ThreeLevels();
    return gpu;
}

inline sim::Rig RigOf(std::vector<sim::GpuModel> gpus) {
    sim::Rig rig;
    rig.name = "test";
    rig.driverVersion = 41091;
    rig.buildBranch = "r410_00";
    rig.interfaceVersion = "R410";
    rig.dedicatedVideoMemoryKb = 8u << 20;
    rig.gpus = std::move(gpus);
    return rig;
}

class SimulatedGpus : public ::testing::Test {
protected:
    /// Activates a simulator for `rig` and builds a GpuAccess on a binding of its own.
    void Start(sim::Rig rig) {
        gpus.reset();
        binding.reset();
        simulator = std::make_unique<sim::Simulator>(std::move(rig));
        simulator->Activate();
        binding = std::make_unique<driver::DriverBinding>(driver::InProcessOpener(sim::Simulator::QueryInterface()));
        gpus = std::make_unique<GpuAccess>(*binding);
        gpus->SetClock(waitClock);  // start-up fan checks wait; tests do not
        gpus->SetTraceSink([this](const std::string& text) { traces.push_back(text); });
        gpus->SetDebugSink([this](const std::string& text) { debugLines.push_back(text); });
    }
    int32_t StartAndInitialize(sim::Rig rig) {
        Start(std::move(rig));
        return gpus->Initialize();
    }
    const GpuRecord& RecordOf(uint8_t gpu) const {
        const GpuRecord* record = gpus->Record(gpu);
        EXPECT_NE(record, nullptr) << "no GPU " << int(gpu);
        static const GpuRecord none;
        return record ? *record : none;
    }

    test::FakeClock waitClock;
    // Destroyed in reverse: the GpuAccess first, the simulator last.
    std::unique_ptr<sim::Simulator> simulator;
    std::unique_ptr<driver::DriverBinding> binding;
    std::unique_ptr<GpuAccess> gpus;
    std::vector<std::string> traces;
    std::vector<std::string> debugLines;
};

}  // namespace vx::gputest
