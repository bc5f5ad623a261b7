#pragma once
// Driver structures and entry signatures of the power and thermal policies and of the driver
// settings database (DRS) records. The simulator includes this same header.
#include "gpu/DriverStructs.h"

#include <cstddef>
#include <cstdint>

namespace vx::nvapi {

inline constexpr int kMaxPowerPolicies = 4;
inline constexpr int kMaxThermalPolicies = 4;
inline constexpr uint32_t kPowerPolicyTotalGpu = 0;
inline constexpr uint32_t kThermalPolicyGps = 0;
inline constexpr uint32_t kThermalPolicyAcoustic = 1;
/// Power limits are in 1/1000 percent of the board's default limit.
inline constexpr uint32_t kMilliPercentPerPercent = 1000;
/// Temperatures of the thermal policies are in 1/256 °C.
inline constexpr int32_t kThermalUnitsPerC = 256;

// ---- Power policies information (version 1) ----

struct PowerPolicyInfoEntry {
    uint32_t policyId;
    uint32_t channel;
    uint32_t reserved1;
    uint32_t pwrLimitMin;
    uint32_t reserved2[2];
    uint32_t pwrLimitDefault;
    uint32_t reserved3[2];
    uint32_t pwrLimitMax;
    uint32_t reserved4;
};
static_assert(sizeof(PowerPolicyInfoEntry) == 44);
static_assert(offsetof(PowerPolicyInfoEntry, pwrLimitMin) == 3 * 4);
static_assert(offsetof(PowerPolicyInfoEntry, pwrLimitDefault) == 6 * 4);
static_assert(offsetof(PowerPolicyInfoEntry, pwrLimitMax) == 9 * 4);

struct PowerPoliciesInfo {
    uint32_t version;
    uint8_t valid;
    uint8_t count;
    uint8_t padding[2];
    PowerPolicyInfoEntry entries[kMaxPowerPolicies];
};
static_assert(sizeof(PowerPoliciesInfo) == 184);
static_assert(offsetof(PowerPoliciesInfo, count) == 5);
static_assert(offsetof(PowerPoliciesInfo, entries) == 8);
inline constexpr uint32_t kPowerPoliciesInfoVer = MakeVersion(sizeof(PowerPoliciesInfo), 1);
static_assert(kPowerPoliciesInfoVer == 0x100B8);

// ---- Power policies status (version 1) ----

inline constexpr uint32_t kPowerPolicyFlagBit0 = 0x1;  // cleared on every write

struct PowerPolicyStatusEntry {
    uint32_t policyId;
    uint32_t flags;
    uint32_t powerLimit;  // 1/1000 percent
    uint32_t reserved;
};

struct PowerPoliciesStatus {
    uint32_t version;
    uint32_t count;
    PowerPolicyStatusEntry entries[kMaxPowerPolicies];
};
static_assert(sizeof(PowerPoliciesStatus) == 72);
static_assert(offsetof(PowerPoliciesStatus, entries) == 8);
static_assert(offsetof(PowerPolicyStatusEntry, powerLimit) == 8);
inline constexpr uint32_t kPowerPoliciesStatusVer = MakeVersion(sizeof(PowerPoliciesStatus), 1);
static_assert(kPowerPoliciesStatusVer == 0x10048);

// ---- Thermal policies information (version 2) ----

inline constexpr uint8_t kThermalPoliciesSupported = 0x1;      // information flags, bit 0
inline constexpr uint32_t kThermalAcousticAvailable = 0x1;     // entry flags, bit 0
inline constexpr uint32_t kThermalPreferAcoustics = 0x1;       // status flags, bit 0

struct ThermalPolicyInfoEntry {
    uint32_t policyId;
    uint32_t channel;
    int32_t tempLimitMin;      // 1/256 °C
    int32_t tempLimitDefault;  // 1/256 °C
    int32_t tempLimitMax;      // 1/256 °C
    uint32_t flags;
};
static_assert(sizeof(ThermalPolicyInfoEntry) == 24);

struct ThermalPoliciesInfo {
    uint32_t version;
    uint8_t flags;
    uint8_t count;
    uint8_t padding[2];
    ThermalPolicyInfoEntry entries[kMaxThermalPolicies];
};
static_assert(sizeof(ThermalPoliciesInfo) == 104);
static_assert(offsetof(ThermalPoliciesInfo, count) == 5);
static_assert(offsetof(ThermalPoliciesInfo, entries) == 8);
inline constexpr uint32_t kThermalPoliciesInfoVer = MakeVersion(sizeof(ThermalPoliciesInfo), 2);
static_assert(kThermalPoliciesInfoVer == 0x20068);

// ---- Thermal policies status (version 2) ----

struct ThermalPolicyStatusEntry {
    uint32_t policyId;
    int32_t currentLimit;  // 1/256 °C
    uint32_t flags;
};

struct ThermalPoliciesStatus {
    uint32_t version;
    uint32_t count;
    ThermalPolicyStatusEntry entries[kMaxThermalPolicies];
};
static_assert(sizeof(ThermalPoliciesStatus) == 56);
static_assert(offsetof(ThermalPoliciesStatus, entries) == 8);
inline constexpr uint32_t kThermalPoliciesStatusVer = MakeVersion(sizeof(ThermalPoliciesStatus), 2);
static_assert(kThermalPoliciesStatusVer == 0x20038);

// ---- Driver settings database ----

struct NvDrsSession;
struct NvDrsProfile;
using DrsSessionHandle = NvDrsSession*;
using DrsProfileHandle = NvDrsProfile*;

inline constexpr int kDrsNameLength = 2048;      // 16-bit characters
inline constexpr int kDrsBinaryLength = 4096;    // bytes of a binary or string value
inline constexpr uint32_t kDrsFrameRateLimiter = 0x10834FEE;
inline constexpr uint32_t kDrsDwordType = 0;
/// The value a frame-rate limiter write is given is offset by this.
inline constexpr uint32_t kDrsFrameRateBias = 0x10000000;
inline constexpr int32_t kDrsSettingNotFound = -160;

/// A setting value: a 32-bit word, or a binary/string value of up to kDrsBinaryLength bytes.
struct DrsValue {
    uint32_t dword;  // also a binary value's length
    uint8_t data[kDrsBinaryLength];
};
static_assert(sizeof(DrsValue) == 4100);

struct DrsSetting {
    uint32_t version;
    uint16_t name[kDrsNameLength];
    uint32_t settingId;
    uint32_t settingType;
    uint32_t settingLocation;
    uint32_t isCurrentPredefined;
    uint32_t isPredefinedValid;
    DrsValue predefinedValue;
    DrsValue currentValue;
};
static_assert(sizeof(DrsSetting) == 12320);
static_assert(offsetof(DrsSetting, settingId) == 4100);
static_assert(offsetof(DrsSetting, settingType) == 4104);
static_assert(offsetof(DrsSetting, currentValue) == 8220);
inline constexpr uint32_t kDrsSettingVer = MakeVersion(sizeof(DrsSetting), 1);
static_assert(kDrsSettingVer == 0x13020);

// ---- Entry signatures ----
extern "C" {
using PowerPoliciesGetInfoFn = int32_t (*)(PhysicalGpuHandle gpu, PowerPoliciesInfo* info);
using PowerPoliciesStatusFn = int32_t (*)(PhysicalGpuHandle gpu, PowerPoliciesStatus* status);
using ThermalPoliciesGetInfoFn = int32_t (*)(PhysicalGpuHandle gpu, ThermalPoliciesInfo* info);
using ThermalPoliciesStatusFn = int32_t (*)(PhysicalGpuHandle gpu, ThermalPoliciesStatus* status);
using DrsCreateSessionFn = int32_t (*)(DrsSessionHandle* session);
using DrsSessionFn = int32_t (*)(DrsSessionHandle session);  // destroy, load, save
using DrsGetBaseProfileFn = int32_t (*)(DrsSessionHandle session, DrsProfileHandle* profile);
using DrsGetSettingFn = int32_t (*)(DrsSessionHandle session, DrsProfileHandle profile, uint32_t settingId,
                                    DrsSetting* setting);
using DrsSetSettingFn = int32_t (*)(DrsSessionHandle session, DrsProfileHandle profile, DrsSetting* setting);
}

}  // namespace vx::nvapi
