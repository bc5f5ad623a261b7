#pragma once
// Cooler structures passed across the driver boundary. The simulator includes this same header.
#include "gpu/DriverStructs.h"

#include <cstddef>
#include <cstdint>

namespace vx::nvapi {

inline constexpr std::size_t kMaxCoolers = 20;
inline constexpr std::size_t kCoolerWords = 17;
/// The cooler index that asks for every cooler at once.
inline constexpr uint32_t kAllCoolers = 7;
inline constexpr uint32_t kCoolerTypeFan = 1;
inline constexpr uint32_t kCoolerPolicyManual = 1;

/// Word positions inside one cooler.
enum CoolerWord : std::size_t {
    kCoolerType = 0,
    kCoolerCurrentMin = 4,   // percent
    kCoolerCurrentMax = 5,   // percent
    kCoolerCurrentLevel = 6, // percent
    kCoolerCurrentPolicy = 8,
    kCoolerRunning = 12,     // 0 while the fan-stop feature holds the fan
};

struct CoolerSettings {
    uint32_t version;
    uint32_t count;
    uint32_t cooler[kMaxCoolers][kCoolerWords];
};
static_assert(sizeof(CoolerSettings) == 1368);
inline constexpr uint32_t kCoolerSettingsVer = MakeVersion(sizeof(CoolerSettings), 4);
static_assert(kCoolerSettingsVer == 0x40558);

struct CoolerLevel {
    uint32_t level;   // percent
    uint32_t policy;
};

struct CoolerLevels {
    uint32_t version;
    CoolerLevel entry[kMaxCoolers];
};
static_assert(sizeof(CoolerLevels) == 164);
inline constexpr uint32_t kCoolerLevelsVer = MakeVersion(sizeof(CoolerLevels), 1);
static_assert(kCoolerLevelsVer == 0x100A4);

/// Fan-stop capability: bit 0 of the word at byte 16 says the fan may stop when cool.
struct FanStopCapability {
    uint32_t version;
    uint32_t reserved[3];
    uint32_t flags;
    uint32_t more[9];
};
static_assert(sizeof(FanStopCapability) == 56);
static_assert(offsetof(FanStopCapability, flags) == 16);
inline constexpr uint32_t kFanStopCapabilityVer = MakeVersion(sizeof(FanStopCapability), 1);
static_assert(kFanStopCapabilityVer == 0x10038);

using GetCoolerSettingsFn = int32_t (*)(PhysicalGpuHandle, uint32_t coolerIndex, CoolerSettings*);
using SetCoolerLevelsFn = int32_t (*)(PhysicalGpuHandle, uint32_t coolerIndex, CoolerLevels*);
using RestoreCoolerSettingsFn = int32_t (*)(PhysicalGpuHandle, const uint32_t* coolerIndices, uint32_t count);
using GetFanStopCapabilityFn = int32_t (*)(PhysicalGpuHandle, FanStopCapability*);

}  // namespace vx::nvapi
