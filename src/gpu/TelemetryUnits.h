#pragma once
// From the driver's telemetry units to what the monitor shows, and the names the traces use.
// Every conversion is an integer division that truncates, as the displays expect.
#include "gpu/TelemetryStructs.h"

#include <algorithm>
#include <cstdint>

namespace vx::telemetry {

/// kHz to MHz, truncated.
constexpr int32_t KhzToMhz(uint32_t khz) { return static_cast<int32_t>(khz / 1000u); }
/// µV to mV, truncated.
constexpr int32_t UvToMv(uint32_t microvolts) { return static_cast<int32_t>(microvolts / 1000u); }
/// 1/1000 percent (power topology and policies) to percent, truncated.
constexpr int32_t MilliPercentToPercent(uint32_t milliPercent) { return static_cast<int32_t>(milliPercent / 1000u); }

/// The GPU load as the monitor records it: utilisation entry 0, where a reading of 0 counts
/// as 1 (so a live GPU never shows as off). Readings above 100 are held at 100.
constexpr int32_t LoadPercent(const nvapi::DynamicPstatesInfo& info) {
    const uint32_t percent = info.utilization[nvapi::kUtilizationGpu].percent;
    return percent == 0 ? 1 : static_cast<int32_t>(std::min<uint32_t>(percent, 100));
}

/// A zeroed clock read asking for `type` (current, base or boost).
constexpr nvapi::ClockFrequencies ClockRequest(nvapi::ClockType type) {
    nvapi::ClockFrequencies clocks{};
    clocks.version = nvapi::kClockFrequenciesVer;
    clocks.clockType = type & nvapi::kClockTypeMask;
    return clocks;
}

/// A zeroed power status read for the channels the information read listed. The driver's
/// count is held to the channels that structure can carry.
constexpr nvapi::PowerTopologyStatus PowerStatusRequest(const nvapi::PowerTopologyInfo& info) {
    nvapi::PowerTopologyStatus status{};
    status.version = nvapi::kPowerTopologyStatusVer;
    status.count = std::min<uint32_t>(info.count, nvapi::kMaxPowerTopologyChannels);
    for (uint32_t i = 0; i < status.count; ++i) status.entries[i].channelId = info.channelIds[i];
    return status;
}

constexpr const char* ClockDomainName(uint32_t domainId) {
    switch (domainId) {
    case nvapi::kClockDomainGraphics: return "GRAPHICS CLOCK";
    case nvapi::kClockDomainMemory: return "MEMORY CLOCK";
    case nvapi::kClockDomainProcessor: return "PROCESSOR CLOCK";
    default: return "UNKNOWN/ERROR";
    }
}

constexpr const char* VoltageDomainName(uint32_t domainId) {
    return domainId == nvapi::kVoltageDomainCore ? "CORE VOLTAGE" : "UNKNOWN/ERROR";
}

constexpr const char* PowerChannelName(uint32_t channelId) {
    return channelId == nvapi::kPowerChannelTotalGpu ? "TOTAL GPU POWER" : "UNKNOWN/ERROR";
}

}  // namespace vx::telemetry
