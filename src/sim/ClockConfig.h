#pragma once
// A simulated GPU's clock and voltage adjustments: its P-state 2.0 table, the over-voltage
// percent, the clock boost locks, the perf-limit control and the P-state information.
#include "gpu/DriverStructs.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace vx::sim {

struct Pstate20ClockConfig {
    uint32_t domainId = 0;  // 0 graphics, 4 memory, 7 processor
    uint32_t typeId = 0;    // 0 single frequency, 1 range
    bool editable = true;
    int32_t deltaKhz = 0;
    int32_t deltaMinKhz = 0;
    int32_t deltaMaxKhz = 0;
    uint32_t freqKhz = 0;   // type 0, and the range's minimum for type 1
    uint32_t maxFreqKhz = 0;  // type 1
    uint32_t voltageDomainId = 0;
    uint32_t minVoltageUv = 0;
    uint32_t maxVoltageUv = 0;

    bool operator==(const Pstate20ClockConfig&) const = default;
};

struct Pstate20VoltageConfig {
    uint32_t domainId = 0;  // 0 core
    bool editable = true;
    uint32_t voltUv = 0;
    int32_t deltaUv = 0;
    int32_t deltaMinUv = 0;
    int32_t deltaMaxUv = 0;

    bool operator==(const Pstate20VoltageConfig&) const = default;
};

struct Pstate20Config {
    uint32_t pstateId = 0;
    bool editable = true;
    std::vector<Pstate20ClockConfig> clocks;         // at most 8
    std::vector<Pstate20VoltageConfig> baseVoltages;  // at most 4

    bool operator==(const Pstate20Config&) const = default;
};

struct ClockLockConfig {
    uint32_t limitId = 0;
    uint32_t mode = 0;  // 0 disabled, 2 frequency (kHz), 3 voltage (µV)
    uint32_t value = 0;

    bool operator==(const ClockLockConfig&) const = default;
};

struct ClockConfig {
    /// No P-states: the GPU has no P-state 2.0 interface (-104).
    std::vector<Pstate20Config> pstates;              // at most 16
    bool pstatesEditable = true;                      // the table's own editable flag
    std::vector<Pstate20VoltageConfig> overVoltages;  // at most 4; only version 2 and 3 carry them

    bool overVoltPercentSupported = false;
    uint32_t overVoltPercent = 0;

    bool boostLocksSupported = false;
    std::vector<ClockLockConfig> locks;  // limits not listed read as disabled

    uint32_t perfLimitFirst = 0;  // the last perf-limit control written
    uint32_t perfLimitSecond = 0;

    /// The P-state information words after the version word; empty: not supported.
    std::vector<uint32_t> pstatesInfo;
    uint32_t voltageTableCount = 0;  // entries the voltage table reports

    bool operator==(const ClockConfig&) const = default;
};

/// The P-state 0 graphics and memory deltas in kHz: what the GPU runs with under load.
inline std::pair<int32_t, int32_t> Pstate0DeltasKhz(const ClockConfig& clocks) {
    std::pair<int32_t, int32_t> deltas{0, 0};
    for (const Pstate20Config& pstate : clocks.pstates) {
        if (pstate.pstateId != 0) continue;
        for (const Pstate20ClockConfig& clock : pstate.clocks) {
            if (clock.domainId == nvapi::kClockDomainGraphics) deltas.first = clock.deltaKhz;
            if (clock.domainId == nvapi::kClockDomainMemory) deltas.second = clock.deltaKhz;
        }
    }
    return deltas;
}

}  // namespace vx::sim
