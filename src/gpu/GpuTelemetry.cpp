// The read-only GpuAccess operations: identity texts and live sensors.
#include "gpu/GpuAccess.h"

#include "gpu/TelemetryUnits.h"

#include <algorithm>
#include <cstring>

namespace vx {

namespace {

// Text of a driver buffer that need not be terminated.
std::string NarrowText(const char* buffer, std::size_t capacity) {
    return std::string(buffer, strnlen(buffer, capacity));
}

// Upper-cases the ASCII letters and widens every byte as the code point of the same value,
// so a byte above 0x7F cannot make invalid UTF-8.
std::string UpperWide(const char* buffer, std::size_t capacity) {
    std::string text;
    for (std::size_t i = 0; i < capacity && buffer[i] != '\0'; ++i) {
        const auto byte = static_cast<unsigned char>(buffer[i]);
        if (byte < 0x80) {
            text += (byte >= 'a' && byte <= 'z') ? static_cast<char>(byte - 'a' + 'A') : static_cast<char>(byte);
        } else {
            text += static_cast<char>(0xC0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

}  // namespace

int32_t GpuAccess::GetGpuName(uint8_t gpu, std::string& name) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    nvapi::ShortString text = {};
    const int32_t status = api_.GetFullName(records_[gpu].hPhysicalGpu.load(), text);
    if (status == nvapi::OK) name = NarrowText(text, sizeof(text));
    return status;
}

int32_t GpuAccess::GetBiosVersion(uint8_t gpu, std::string& version) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    nvapi::ShortString text = {};
    const int32_t status = api_.GetVbiosVersionString(records_[gpu].hPhysicalGpu.load(), text);
    if (status == nvapi::OK) version = UpperWide(text, sizeof(text));
    return status;
}

int32_t GpuAccess::GetTemperature(uint8_t gpu, int32_t& celsius) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    nvapi::ThermalSettings settings = {};
    settings.version = nvapi::kThermalSettingsVer;
    const int32_t status =
        api_.GetThermalSettings(records_[gpu].hPhysicalGpu.load(), nvapi::kAllThermalSensors, &settings);
    if (status != nvapi::OK) return status;
    const uint32_t count = std::min<uint32_t>(settings.count, nvapi::kMaxThermalSensors);
    for (uint32_t i = 0; i < count; ++i) {
        if (settings.sensor[i].target == nvapi::kThermalTargetGpu) {
            celsius = settings.sensor[i].currentTemp;
            return nvapi::OK;
        }
    }
    return nvapi::ERROR;
}

int32_t GpuAccess::GetClockFrequencies(uint8_t gpu, nvapi::ClockFrequencies& clocks) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    return api_.GetAllClockFrequencies(records_[gpu].hPhysicalGpu.load(), &clocks);
}

int32_t GpuAccess::GetUtilization(uint8_t gpu, nvapi::DynamicPstatesInfo& info) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    return api_.GetDynamicPstatesInfoEx(records_[gpu].hPhysicalGpu.load(), &info);
}

int32_t GpuAccess::GetCoreVoltageUv(uint8_t gpu, uint32_t& microvolts) {
    nvapi::VoltageRailStatus rail = {};
    rail.version = nvapi::kVoltageRailStatusVer;
    const int32_t status =
        InRange(gpu) ? api_.GetVoltageRailStatus(records_[gpu].hPhysicalGpu.load(), &rail) : nvapi::INVALID_ARGUMENT;
    // Callers take the value whatever the status; a failed read must not leave a driver's
    // half-written word behind.
    microvolts = status == nvapi::OK ? rail.coreVoltageUv : 0;
    return status;
}

int32_t GpuAccess::GetCoreVoltageDomainUv(uint8_t gpu, uint32_t& microvolts) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    nvapi::VoltageDomainsStatus domains = {};
    domains.version = nvapi::kVoltageDomainsStatusVer;
    const int32_t status = api_.GetVoltageDomainsStatus(records_[gpu].hPhysicalGpu.load(), &domains);
    if (status != nvapi::OK) return status;
    const uint32_t count = std::min<uint32_t>(domains.count, nvapi::kMaxVoltageDomains);
    for (uint32_t i = 0; i < count; ++i) {
        Trace("  Domain[%d] : %s\n", static_cast<int>(i), telemetry::VoltageDomainName(domains.domains[i].domainId));
        Trace("Current voltage (in uV) is %d\n", static_cast<int>(domains.domains[i].voltageUv));
    }
    microvolts = domains.domains[0].voltageUv;
    return status;
}

int32_t GpuAccess::GetCurrentPstate(uint8_t gpu, uint32_t& pstate) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    uint32_t value = 0;
    const int32_t status = api_.GetCurrentPstate(records_[gpu].hPhysicalGpu.load(), &value);
    if (status == nvapi::OK) pstate = value;
    return status;
}

int32_t GpuAccess::GetPowerTopologyInfo(uint8_t gpu, nvapi::PowerTopologyInfo& info) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    return api_.PowerTopologyGetInfo(records_[gpu].hPhysicalGpu.load(), &info);
}

int32_t GpuAccess::GetPowerTopologyStatus(uint8_t gpu, nvapi::PowerTopologyStatus& status) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    return api_.PowerTopologyGetStatus(records_[gpu].hPhysicalGpu.load(), &status);
}

bool GpuAccess::IsTachAvailable(uint8_t gpu) {
    uint32_t rpm = 0;
    return GetTachRpm(gpu, rpm) == nvapi::OK;
}

int32_t GpuAccess::GetTachRpm(uint8_t gpu, uint32_t& rpm) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    uint32_t value = 0;
    const int32_t status = api_.GetTachReading(records_[gpu].hPhysicalGpu.load(), &value);
    if (status == nvapi::OK) rpm = value;
    return status;
}

int32_t GpuAccess::RefreshHandlesOnStatus(int32_t status) {
    if (status != nvapi::EXPECTED_PHYSICAL_GPU_HANDLE && status != nvapi::HANDLE_INVALIDATED) return nvapi::OK;
    return EnumerateGpus();
}

}  // namespace vx
