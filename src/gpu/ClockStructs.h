#pragma once
// Driver structures of the clock and voltage adjustments: the P-state 2.0 table, the
// over-voltage percent, the clock boost locks, the perf-limit control and the P-state
// information blocks. The simulator includes this header too.
#include "gpu/DriverStructs.h"
#include "gpu/TelemetryStructs.h"  // kVoltageDomainCore

#include <cstddef>
#include <cstdint>

namespace vx::nvapi {

// P-state 2.0 table.
inline constexpr int kPstates20MaxPstates = 16;
inline constexpr int kPstates20MaxClocks = 8;
inline constexpr int kPstates20MaxBaseVoltages = 4;
inline constexpr int kPstates20MaxOverVoltages = 4;
inline constexpr uint32_t kPstates20Editable = 1u;  // bit 0 of every flags word
inline constexpr uint32_t kClockTypeSingle = 0;
inline constexpr uint32_t kClockTypeRange = 1;

/// A value with the range the driver allows for it.
struct DeltaRange {
    int32_t value;
    int32_t minimum;
    int32_t maximum;
};
static_assert(sizeof(DeltaRange) == 12);

struct Pstates20Clock {
    uint32_t domainId;  // 0 graphics, 4 memory, 7 processor
    uint32_t typeId;    // 0 single frequency, 1 range
    uint32_t flags;
    DeltaRange freqDeltaKhz;
    union {
        struct {
            uint32_t freqKhz;
        } single;
        struct {
            uint32_t minFreqKhz;
            uint32_t maxFreqKhz;
            uint32_t voltageDomainId;
            uint32_t minVoltageUv;
            uint32_t maxVoltageUv;
        } range;
    } data;
};
static_assert(sizeof(Pstates20Clock) == 11 * 4);
static_assert(offsetof(Pstates20Clock, freqDeltaKhz) == 12);
static_assert(offsetof(Pstates20Clock, data) == 24);

struct Pstates20Voltage {
    uint32_t domainId;  // 0 core
    uint32_t flags;
    uint32_t voltUv;
    DeltaRange voltDeltaUv;
};
static_assert(sizeof(Pstates20Voltage) == 6 * 4);

struct Pstates20Pstate {
    uint32_t pstateId;
    uint32_t flags;
    Pstates20Clock clocks[kPstates20MaxClocks];
    Pstates20Voltage baseVoltages[kPstates20MaxBaseVoltages];
};
static_assert(sizeof(Pstates20Pstate) == 114 * 4);

struct Pstates20OverVoltage {
    uint32_t numVoltages;
    Pstates20Voltage voltages[kPstates20MaxOverVoltages];
};
static_assert(sizeof(Pstates20OverVoltage) == 25 * 4);

/// Both layouts in one buffer: version 1 ends before `overVoltage`.
struct Pstates20Info {
    uint32_t version;
    uint32_t flags;
    uint32_t numPstates;
    uint32_t numClocks;
    uint32_t numBaseVoltages;
    Pstates20Pstate pstates[kPstates20MaxPstates];
    Pstates20OverVoltage overVoltage;  // version 2 and 3 only
};
inline constexpr std::size_t kPstates20V1Size = offsetof(Pstates20Info, overVoltage);
static_assert(kPstates20V1Size == 7316);
static_assert(sizeof(Pstates20Info) == 7416);
static_assert(offsetof(Pstates20Info, pstates) == 20);
inline constexpr uint32_t kPstates20Ver1 = MakeVersion(kPstates20V1Size, 1);
inline constexpr uint32_t kPstates20Ver2 = MakeVersion(sizeof(Pstates20Info), 2);
inline constexpr uint32_t kPstates20Ver3 = MakeVersion(sizeof(Pstates20Info), 3);
static_assert(kPstates20Ver1 == 0x11C94);
static_assert(kPstates20Ver2 == 0x21CF8);
static_assert(kPstates20Ver3 == 0x31CF8);

// Over-voltage as a percentage.
struct OverVoltPercent {
    uint32_t version;
    uint32_t percent;  // 0 to 100
    uint32_t reserved[8];
};
static_assert(sizeof(OverVoltPercent) == 40);
inline constexpr uint32_t kOverVoltPercentVer = MakeVersion(sizeof(OverVoltPercent), 1);
static_assert(kOverVoltPercentVer == 0x10028);

// Clock boost locks.
inline constexpr int kClockBoostLockMaxEntries = 32;
enum ClockLockLimit : uint32_t {
    kLockGraphicsMax = 0,
    kLockGraphicsMin = 1,
    kLockMemoryMax = 2,
    kLockMemoryMin = 3,
    kLockVoltage = 6,
};
enum ClockLockMode : uint32_t {
    kLockDisabled = 0,
    kLockFrequency = 2,  // value in kHz
    kLockVoltageMode = 3,  // value in µV
};

struct ClockBoostLockEntry {
    uint32_t limitId;
    uint32_t reserved1;
    uint32_t mode;
    uint32_t reserved2;
    uint32_t value;
    uint32_t reserved3;
};
static_assert(sizeof(ClockBoostLockEntry) == 24);

struct ClockBoostLock {
    uint32_t version;
    uint32_t flags;
    uint32_t count;
    ClockBoostLockEntry entries[kClockBoostLockMaxEntries];
};
static_assert(sizeof(ClockBoostLock) == 780);
static_assert(offsetof(ClockBoostLock, entries) == 12);
inline constexpr uint32_t kClockBoostLockVer = MakeVersion(sizeof(ClockBoostLock), 2);
static_assert(kClockBoostLockVer == 0x2030C);

// Perf-limit control: the two words are the driver's; the system always writes 2 and 5.
struct PerfLimitControl {
    uint32_t version;
    uint32_t first;
    uint32_t second;
};
static_assert(sizeof(PerfLimitControl) == 12);
inline constexpr uint32_t kPerfLimitControlVer = MakeVersion(sizeof(PerfLimitControl), 1);
static_assert(kPerfLimitControlVer == 0x1000C);
inline constexpr uint32_t kPerfLimitFirst = 2;
inline constexpr uint32_t kPerfLimitSecond = 5;

/// P-state information, version 3. The system only passes it through, so the body stays raw.
struct PstatesInfo {
    uint32_t version;
    uint32_t flags;
    uint32_t words[2339];
};
static_assert(sizeof(PstatesInfo) == 9364);
inline constexpr uint32_t kPstatesInfoVer = MakeVersion(sizeof(PstatesInfo), 3);
static_assert(kPstatesInfoVer == 0x32494);

/// Voltage table, version 1, read after the extended P-state information and not used.
struct VoltageTable {
    uint32_t version;
    uint32_t flags;
    uint32_t count;
    uint32_t words[4144];
};
static_assert(sizeof(VoltageTable) == 16588);
inline constexpr uint32_t kVoltageTableVer = MakeVersion(sizeof(VoltageTable), 1);
static_assert(kVoltageTableVer == 0x140CC);

// Entry signatures.
using Pstates20Fn = int32_t (*)(PhysicalGpuHandle gpu, Pstates20Info* info);
using OverVoltPercentFn = int32_t (*)(PhysicalGpuHandle gpu, OverVoltPercent* info);
using ClockBoostLockFn = int32_t (*)(PhysicalGpuHandle gpu, ClockBoostLock* locks);
using PerfLimitControlFn = int32_t (*)(PhysicalGpuHandle gpu, PerfLimitControl* control);
using PstatesInfoFn = int32_t (*)(PhysicalGpuHandle gpu, PstatesInfo* info);
using PstatesInfoExFn = int32_t (*)(PhysicalGpuHandle gpu, PstatesInfo* info, uint32_t flags);
using VoltageTableFn = int32_t (*)(PhysicalGpuHandle gpu, VoltageTable* table);

}  // namespace vx::nvapi
