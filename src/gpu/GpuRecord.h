#pragma once
// What the program knows about one GPU: its driver handles, identification, the legacy
// perf-level table and the on-card devices.
#include "gpu/CoolerStructs.h"  // cooler control
#include "gpu/DriverStructs.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace vx {

/// One on-card I2C device slot (40 bytes). Present when `address` is above 0.
struct CardDeviceSlot {
    uint8_t port = 0;     // the port byte every I2C call to the device passes
    uint8_t address = 0;  // 8-bit I2C address, 0 when absent
    std::array<uint8_t, 38> rest{};
};
static_assert(sizeof(CardDeviceSlot) == 40);

inline constexpr int kCardDeviceSlots = 15;

// I2C: the port byte of each slot is fixed by the board layout; slots 6 to 14 use 0.
constexpr std::array<CardDeviceSlot, kCardDeviceSlots> InitialCardDevices() {
    std::array<CardDeviceSlot, kCardDeviceSlots> devices{};
    constexpr uint8_t kPorts[] = {2, 2, 3, 2, 3, 2};
    for (std::size_t i = 0; i < std::size(kPorts); ++i) devices[i].port = kPorts[i];
    return devices;
}

/// Domains and levels of the legacy perf-level table, as `GpuRecord::legacyClockTable` indexes them.
enum LegacyClockDomain : int { kLegacyGraphics = 0, kLegacyProcessor = 1, kLegacyMemory = 2 };
enum LegacyClockLevel : int { kLegacyLevel2D = 0, kLegacyLevel3DLowPower = 1, kLegacyLevel3DPerformance = 2 };
inline constexpr int kLegacyClockValues = 18;

/// Index into `legacyClockTable`: [domain][level][min, max], so graphics 2D min is 0,
/// graphics 2D max 1, graphics 3D low-power min 2, ..., memory 3D performance max 17.
constexpr int LegacyClockIndex(LegacyClockDomain domain, LegacyClockLevel level, bool maximum) {
    return domain * 6 + level * 2 + (maximum ? 1 : 0);
}
static_assert(LegacyClockIndex(kLegacyMemory, kLegacyLevel3DPerformance, true) == kLegacyClockValues - 1);

/// Fan access paths (`fanAccessKind`).
enum FanAccessKind : int32_t {
    kFanDriverCooler = 0,           // the driver's cooler interface
    kFanDriverWithTachMcu = 1,      // the same, with a fan microcontroller for speed reading
    kFanDriverWithMcuWrites = 2,    // the driver plus direct microcontroller writes
    kFanRpmController = 3,          // an RPM fan controller on the card
    kFanNotControllable = 4,
};

/// A driver handle that a handle refresh (RefreshHandlesOnStatus) may replace while other
/// threads call the GPU with it: every read and write is one atomic access.
template <typename Handle>
class SharedHandle {
public:
    SharedHandle() = default;
    SharedHandle(const SharedHandle& other) : value_(other.load()) {}
    SharedHandle& operator=(const SharedHandle& other) {
        store(other.load());
        return *this;
    }
    Handle load() const { return value_.load(); }
    void store(Handle handle) { value_.store(handle); }

private:
    std::atomic<Handle> value_{nullptr};
};

struct GpuRecord {
    SharedHandle<nvapi::PhysicalGpuHandle> hPhysicalGpu;
    SharedHandle<nvapi::DisplayHandle> hNvDisplay;  // always display index 0, the same in every record
    int32_t fanLevelNow = -1;                   // -1 while unknown
    std::array<CardDeviceSlot, kCardDeviceSlots> cardDevices = InitialCardDevices();

    // Legacy perf-level table: which levels and domains the GPU reported.
    bool has2DLevel = false;
    bool has3DLowPowerLevel = false;
    bool has3DPerformanceLevel = false;
    bool hasProcessorDomain = false;
    bool hasMemoryDomain = false;
    bool hasGraphicsDomain = false;

    int32_t fanAccessKind = kFanDriverCooler;
    // Cooler control
    nvapi::CoolerSettings coolerSettings{};  // the cooler list read at start-up
    int32_t fanLevelMid = 0;                 // RPM, RPM fan controller only
    int32_t savedFanRegister = -1;           // fan microcontroller's saved control byte, -1 none
    uint32_t fanFlags = 0;                   // bit 0: the microcontroller's tach answers; 32/64: RPM variant
    uint8_t fanCurvePointA = 0;              // RPM fan controller's first two curve bytes
    uint8_t fanCurvePointB = 0;
    // End of cooler control

    /// Serialises every I2C transfer to this GPU; null before start-up and after ReleaseHandles.
    std::unique_ptr<std::timed_mutex> i2cMutex;

    /// Minimum and maximum clocks in kHz per domain and level; see LegacyClockIndex.
    std::array<int32_t, kLegacyClockValues> legacyClockTable{};

    int32_t fanLevelMax = 0;  // percent
    int32_t fanLevelMin = 0;  // percent

    std::string deviceIdText;  // 4 lower-case hex digits, e.g. "1b82"
    std::string biosTagText;   // up to 4 characters from the video BIOS, empty until scanned

    bool boardA013 = false;

    // Identification.
    bool legacyListA = false;
    bool legacyListB = false;
    bool supportedGpu = false;
    bool fourLevelBoard = false;  // the legacy table has exactly 4 levels
    bool quirk0E22 = false;
    bool quirk0DC4 = false;
    bool pstate20Group1 = false;
    bool pstate20Group2 = false;
    bool pstate20Group3 = false;
    bool pstate20Group4 = false;
    bool pascalSeries = false;

    uint32_t ramType = 0;         // the driver's memory-type code
    uint32_t memoryBusWidth = 0;  // bits, 0 when unknown
    int32_t uiFlag = 0;           // fan-curve switch of the main window
    int32_t powerLimitDefault = 0;  // 1/1000 percent

    // Shader clock / graphics clock per legacy level; 0 until computed.
    float shaderRatio2D = 0.0f;
    float shaderRatioLowPower = 0.0f;
    float shaderRatioPerformance = 0.0f;

    // I2C: the slot-2 voltage register of legacy level kinds 1 and 2 (index kind - 1), read
    // once per kind from the controller's range code; 0 until read.
    std::array<uint8_t, 2> legacyVoltageRegister{};
    // I2C: what ReadControllerSensorB hands back when a read fails.
    float sensorBLastGood = 0.0f;

    /// Clock offsets and over-voltage go through the P-state 2.0 interface.
    bool usesPstates20() const { return pstate20Group1 || pstate20Group2 || pstate20Group3 || pstate20Group4; }
    /// Clock offsets go through VF points, voltage through the clock boost lock.
    bool usesVfPoints() const { return pascalSeries; }
    bool isSupported() const { return supportedGpu; }
    bool IsCardDevicePresent(int slot) const {
        return slot >= 0 && slot < kCardDeviceSlots && cardDevices[static_cast<std::size_t>(slot)].address > 0;
    }
};

}  // namespace vx
