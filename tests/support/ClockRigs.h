#pragma once
// Clock configurations for simulated GPUs: a P-state 2.0 table like a Kepler-class board's.
#include "gpu/ClockStructs.h"
#include "sim/Rig.h"

namespace vx::test {

inline sim::Pstate20ClockConfig Pstate20Clock(uint32_t domainId, uint32_t typeId, uint32_t freqKhz,
                                              int32_t minDelta, int32_t maxDelta) {
    sim::Pstate20ClockConfig clock;
    clock.domainId = domainId;
    clock.typeId = typeId;
    clock.freqKhz = freqKhz;
    clock.maxFreqKhz = typeId == nvapi::kClockTypeRange ? freqKhz + 100000 : 0;
    clock.deltaMinKhz = minDelta;
    clock.deltaMaxKhz = maxDelta;
    return clock;
}

inline sim::Pstate20VoltageConfig Pstate20Voltage(uint32_t voltUv, int32_t minDelta, int32_t maxDelta) {
    sim::Pstate20VoltageConfig voltage;
    voltage.domainId = nvapi::kVoltageDomainCore;
    voltage.voltUv = voltUv;
    voltage.deltaMinUv = minDelta;
    voltage.deltaMaxUv = maxDelta;
    return voltage;
}

/// P0 (editable: graphics range, memory single, core voltage) and P8 (not editable), with an
/// over-voltage entry; boost locks, over-voltage percent and P-state information supported.
inline sim::ClockConfig Pstates20Clocks() {
    sim::ClockConfig clocks;
    sim::Pstate20Config p0;
    p0.pstateId = 0;
    p0.clocks = {Pstate20Clock(nvapi::kClockDomainGraphics, nvapi::kClockTypeRange, 1000000, -500000, 500000),
                 Pstate20Clock(nvapi::kClockDomainMemory, nvapi::kClockTypeSingle, 3000000, -1000000, 1000000)};
    p0.baseVoltages = {Pstate20Voltage(1000000, -100000, 100000)};
    sim::Pstate20Config p8;
    p8.pstateId = 8;
    p8.editable = false;
    p8.clocks = {Pstate20Clock(nvapi::kClockDomainGraphics, nvapi::kClockTypeSingle, 300000, 0, 0)};
    clocks.pstates = {p0, p8};
    clocks.overVoltages = {Pstate20Voltage(1100000, 0, 75000)};
    clocks.overVoltPercentSupported = true;
    clocks.boostLocksSupported = true;
    clocks.pstatesInfo = std::vector<uint32_t>(8, 0);
    clocks.voltageTableCount = 4;
    return clocks;
}

}  // namespace vx::test
