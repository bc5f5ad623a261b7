// The built-in demo rig. assets/rigs/demo.json holds the same machine; a test keeps them equal.
#include "sim/Rig.h"

namespace vx::sim {
namespace {

constexpr uint32_t kGddr5 = 8;

// One domain whose default (the fourth word) is its current frequency.
LegacyDomain Domain(uint32_t id, int32_t khz, int32_t minKhz, int32_t maxKhz) {
    return LegacyDomain{id, khz, khz, minKhz, maxKhz};
}

// Old boards run the processor (shader) clock at twice the graphics clock.
LegacyLevel Level(uint32_t id, uint32_t flags, int32_t graphics, int32_t graphicsMin, int32_t graphicsMax,
                  int32_t memory, int32_t memoryMin, int32_t memoryMax) {
    return LegacyLevel{id, flags,
                       {Domain(nvapi::kClockDomainGraphics, graphics, graphicsMin, graphicsMax),
                        Domain(nvapi::kClockDomainMemory, memory, memoryMin, memoryMax),
                        Domain(nvapi::kClockDomainProcessor, 2 * graphics, 2 * graphicsMin, 2 * graphicsMax)}};
}

}  // namespace

Rig DemoRig() {
    Rig rig;
    rig.name = "Demo rig";
    rig.driverVersion = 41091;
    rig.buildBranch = "r410_00";
    rig.interfaceVersion = "R410_00";
    rig.dedicatedVideoMemoryKb = 8 * 1024 * 1024;
    rig.persist = false;

    GpuModel pascal;
    pascal.pciDeviceId = 0x1B82;
    pascal.subsystemId = 0xA0131462;  // upper half 0xA013: the board the A013 rule looks for
    pascal.revisionId = 0xA1;
    pascal.name = "GeForce GTX 1070 Ti";
    pascal.biosVersion = "86.04.85.00.5B";
    pascal.ramType = kGddr5;
    pascal.memoryBusWidth = 256;
    pascal.legacyLevels = {
        Level(0, 1, 139000, 139000, 607500, 405000, 405000, 810000),
        Level(1, 2, 1088000, 607500, 1240000, 4004000, 810000, 4004000),
        Level(2, 4, 1607000, 1240000, 1683000, 4004000, 4004000, 4504000),
    };
    pascal.currentLegacyLevel = 0;
    rig.gpus.push_back(pascal);

    GpuModel kepler;
    kepler.pciDeviceId = 0x1184;
    kepler.subsystemId = 0x28421462;
    kepler.revisionId = 0xA1;
    kepler.name = "GeForce GTX 770";
    kepler.biosVersion = "80.04.C3.00.0F";
    kepler.ramType = kGddr5;
    kepler.memoryBusWidth = 256;
    kepler.legacyLevels = {
        Level(0, 1, 324000, 324000, 540000, 324000, 324000, 810000),
        Level(1, 2, 705000, 540000, 900000, 1502000, 810000, 1502000),
        Level(2, 4, 1046000, 900000, 1202000, 3505000, 3505000, 4005000),
    };
    kepler.currentLegacyLevel = 0;
    rig.gpus.push_back(kepler);
    return rig;
}

}  // namespace vx::sim
