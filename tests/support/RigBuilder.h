#pragma once
// Building simulated rigs in tests, and running a simulator over one.
//
//   vx::test::SimulatedDriver driver(vx::test::RigBuilder().Gpu(0x1B82).Gpu(0x06CD).Compute().Build());
//   driver.Entry<vx::nvapi::InitializeFn>(vx::nvapi::Initialize)();
#include "gpu/DriverStructs.h"
#include "gpu/NvApiIds.h"
#include "sim/Rig.h"
#include "sim/Simulator.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace vx::test {

/// A legacy domain whose default (fourth word) is its frequency.
inline sim::LegacyDomain LegacyDomainAt(uint32_t domainId, int32_t khz, int32_t minKhz, int32_t maxKhz) {
    return sim::LegacyDomain{domainId, khz, khz, minKhz, maxKhz};
}

/// A level with graphics, memory and processor (twice the graphics clock) domains.
inline sim::LegacyLevel LegacyLevelOf(uint32_t levelId, uint32_t flags, int32_t graphicsKhz, int32_t memoryKhz) {
    return sim::LegacyLevel{levelId, flags,
                            {LegacyDomainAt(nvapi::kClockDomainGraphics, graphicsKhz, graphicsKhz / 2, graphicsKhz * 2),
                             LegacyDomainAt(nvapi::kClockDomainMemory, memoryKhz, memoryKhz / 2, memoryKhz * 2),
                             LegacyDomainAt(nvapi::kClockDomainProcessor, 2 * graphicsKhz, graphicsKhz,
                                            graphicsKhz * 4)}};
}

/// 2D (ID 0, flags 1), 3D low power (ID 1, flags 2), 3D performance (ID 2, flags 4).
inline std::vector<sim::LegacyLevel> ThreeLegacyLevels() {
    return {LegacyLevelOf(0, 1, 300000, 400000), LegacyLevelOf(1, 2, 600000, 1000000),
            LegacyLevelOf(2, 4, 900000, 2000000)};
}

/// The four-level layout of older boards: 2D, 3D low power, then IDs 2 (flags 5) and 3 (flags 4).
inline std::vector<sim::LegacyLevel> FourLegacyLevels() {
    return {LegacyLevelOf(0, 1, 300000, 400000), LegacyLevelOf(1, 2, 600000, 1000000),
            LegacyLevelOf(2, 5, 800000, 1800000), LegacyLevelOf(3, 4, 900000, 2000000)};
}

class RigBuilder {
public:
    RigBuilder() {
        rig_.name = "Test rig";
        rig_.driverVersion = 41091;
        rig_.buildBranch = "r410_00";
        rig_.interfaceVersion = "R410_00";
        rig_.dedicatedVideoMemoryKb = 4 * 1024 * 1024;
    }

    /// Adds a GPU with a three-level legacy table; later calls change the last GPU added.
    RigBuilder& Gpu(uint16_t pciDeviceId, uint32_t subsystemId = 0) {
        sim::GpuModel gpu;
        gpu.pciDeviceId = pciDeviceId;
        gpu.subsystemId = subsystemId;
        gpu.name = "GPU " + std::to_string(rig_.gpus.size());
        gpu.biosVersion = "80.00.00.00.01";
        gpu.ramType = 8;
        gpu.memoryBusWidth = 256;
        gpu.legacyLevels = ThreeLegacyLevels();
        rig_.gpus.push_back(std::move(gpu));
        return *this;
    }
    /// Adds `count` GPUs of one device ID.
    RigBuilder& Gpus(int count, uint16_t pciDeviceId) {
        for (int i = 0; i < count; ++i) Gpu(pciDeviceId);
        return *this;
    }
    RigBuilder& Compute(bool on = true) { return Last([&](sim::GpuModel& g) { g.computeMode = on; }); }
    RigBuilder& Name(std::string name) { return Last([&](sim::GpuModel& g) { g.name = std::move(name); }); }
    RigBuilder& Bios(std::string version) { return Last([&](sim::GpuModel& g) { g.biosVersion = std::move(version); }); }
    RigBuilder& RamType(uint32_t code) { return Last([&](sim::GpuModel& g) { g.ramType = code; }); }
    RigBuilder& BusWidth(uint32_t bits) { return Last([&](sim::GpuModel& g) { g.memoryBusWidth = bits; }); }
    RigBuilder& Levels(std::vector<sim::LegacyLevel> levels, uint32_t current = 0) {
        return Last([&](sim::GpuModel& g) {
            g.legacyLevels = std::move(levels);
            g.currentLegacyLevel = current;
        });
    }
    RigBuilder& NoLegacyLevels() { return Levels({}); }
    RigBuilder& Displays(std::vector<sim::DisplayModel> displays) {
        return Last([&](sim::GpuModel& g) { g.displays = std::move(displays); });
    }

    RigBuilder& DriverVersion(uint32_t version, std::string branch) {
        rig_.driverVersion = version;
        rig_.buildBranch = std::move(branch);
        return *this;
    }
    RigBuilder& MemoryKb(uint32_t kb) {
        rig_.dedicatedVideoMemoryKb = kb;
        return *this;
    }
    /// Persists written state; `sourceFile` decides where (see Simulator::StatePath).
    RigBuilder& Persist(std::filesystem::path sourceFile) {
        rig_.persist = true;
        rig_.sourceFile = std::move(sourceFile);
        return *this;
    }

    sim::Rig Build() const { return rig_; }

private:
    template <typename Change>
    RigBuilder& Last(Change change) {
        if (!rig_.gpus.empty()) change(rig_.gpus.back());
        return *this;
    }

    sim::Rig rig_;
};

/// A simulator made active for the life of the object.
class SimulatedDriver {
public:
    explicit SimulatedDriver(sim::Rig rig) : sim_(std::move(rig)) { sim_.Activate(); }

    sim::Simulator& sim() { return sim_; }
    nvapi::QueryInterfaceFn query() const { return sim::Simulator::QueryInterface(); }

    /// The entry `id` as a typed function pointer; null when the simulator lacks it.
    template <typename Fn>
    Fn Entry(uint32_t id) const {
        return reinterpret_cast<Fn>(query()(id));
    }

    /// Initialises the driver and returns the physical GPU handles, then the compute ones.
    std::vector<nvapi::PhysicalGpuHandle> InitializeAndEnumerate() {
        std::vector<nvapi::PhysicalGpuHandle> all;
        if (Entry<nvapi::InitializeFn>(nvapi::Initialize)() != 0) return all;
        for (uint32_t id : {nvapi::EnumPhysicalGPUs, nvapi::EnumTCCPhysicalGPUs}) {
            nvapi::PhysicalGpuHandle handles[nvapi::kMaxPhysicalGpus] = {};
            uint32_t count = 0;
            if (Entry<nvapi::EnumPhysicalGPUsFn>(id)(handles, &count) == 0)
                all.insert(all.end(), handles, handles + count);
        }
        return all;
    }

private:
    sim::Simulator sim_;
};

}  // namespace vx::test
