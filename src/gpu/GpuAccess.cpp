#include "gpu/GpuAccess.h"

#include "platform/OsInfo.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <utility>

namespace vx {

namespace {

const std::string kNoText;

// Driver text buffers are not trusted to be terminated.
std::string TextOf(const char* buffer, std::size_t capacity) {
    return std::string(buffer, strnlen(buffer, capacity));
}

}  // namespace

GpuAccess::GpuAccess(driver::DriverBinding& binding)
    : api_(binding),
      traceSink_([](const std::string& text) { std::fputs(text.c_str(), stdout); }),
      debugSink_([](const std::string& text) { std::fputs(text.c_str(), stderr); }) {}

int32_t GpuAccess::Initialize() {
    records_ = {};
    gpuCount_.store(0);

    if (EnumerateGpus() != nvapi::OK) return 1;
    if (ReadLegacyClockTable() != nvapi::OK) return 1;

    is64BitOs_ = platform::Is64BitOs();
    if (!platform::IsOsSupported()) return 2;

    for (uint8_t gpu = 0; gpu < GetGpuCount(); ++gpu) {
        GpuRecord& record = records_[gpu];
        record.i2cMutex = std::make_unique<std::timed_mutex>();
        IdentifyGpu(gpu);

        record.ramType = 0;
        uint32_t ramType = 0;
        if (api_.GetRamType(record.hPhysicalGpu.load(), &ramType) == nvapi::OK) record.ramType = ramType;

        ProbeCardDevices(gpu);  // I2C

        uint32_t width = 0;
        uint32_t location = 0;
        record.memoryBusWidth =
            api_.GetMemoryBusWidth(record.hPhysicalGpu.load(), &width, &location) == nvapi::OK ? width : 0;
    }

    // A second pass, once every card is identified and probed, computes the legacy shader-clock
    // ratios and reads each GPU's cooler list (or clears the on-card fan controller's flag).
    for (uint8_t gpu = 0; gpu < GetGpuCount(); ++gpu) {
        PrepareShaderRatios(gpu);  // Clocks
        PrepareCooler(gpu);        // Cooler control
    }

    // The start-up video BIOS identification worker is started here.

    return 0;
}

int32_t GpuAccess::EnumerateGpus() {
    // A refresh may come from any thread; two at once must not interleave their handles.
    std::lock_guard lock(enumerationMutex_);
    if (int32_t status = api_.binding().DriverInitialize(); status != nvapi::OK) {
        Trace("API call failed with error %d\n", status);
        return status;
    }

    // The driver may fill every one of its 64 slots whatever we keep, and a count it reports
    // is clamped before it indexes anything.
    nvapi::PhysicalGpuHandle physical[nvapi::kMaxPhysicalGpus] = {};
    uint32_t physicalCount = 0;
    const int32_t physicalStatus = api_.EnumPhysicalGPUs(physical, &physicalCount);
    nvapi::PhysicalGpuHandle compute[nvapi::kMaxPhysicalGpus] = {};
    uint32_t computeCount = 0;
    const int32_t computeStatus = api_.EnumTCCPhysicalGPUs(compute, &computeCount);

    int count = 0;
    auto take = [&](const nvapi::PhysicalGpuHandle* handles, uint32_t reported) {
        const int kept = static_cast<int>(std::min<uint32_t>(reported, kMaxHandlesPerKind));
        for (int i = 0; i < kept && count < kMaxGpus; ++i) records_[count++].hPhysicalGpu.store(handles[i]);
    };
    if (physicalStatus == nvapi::OK) take(physical, physicalCount);
    if (computeStatus == nvapi::OK) take(compute, computeCount);
    for (int i = count; i < kMaxGpus; ++i) records_[i].hPhysicalGpu.store(nullptr);
    gpuCount_.store(static_cast<uint8_t>(count));

    if (count == 0) return nvapi::NVIDIA_DEVICE_NOT_FOUND;

    for (int i = 0; i < count; ++i) {
        // The driver writes into a local: readers on other threads only ever see a whole handle.
        nvapi::DisplayHandle display = records_[i].hNvDisplay.load();
        api_.EnumNvidiaDisplayHandle(0, &display);
        records_[i].hNvDisplay.store(display);
    }
    return nvapi::OK;
}

void GpuAccess::ReleaseHandles() {
    for (uint8_t gpu = 0; gpu < GetGpuCount(); ++gpu) records_[gpu].i2cMutex.reset();
}

nvapi::PhysicalGpuHandle GpuAccess::hPhysicalGpu(uint8_t gpu) const {
    return InRange(gpu) ? records_[gpu].hPhysicalGpu.load() : nullptr;
}

const std::string& GpuAccess::deviceIdText(uint8_t gpu) const {
    return InRange(gpu) ? records_[gpu].deviceIdText : kNoText;
}

const std::string& GpuAccess::biosTagText(uint8_t gpu) const {
    return InRange(gpu) ? records_[gpu].biosTagText : kNoText;
}

bool GpuAccess::has2DLevel(uint8_t gpu) const { return InRange(gpu) && records_[gpu].has2DLevel; }
bool GpuAccess::has3DLowPowerLevel(uint8_t gpu) const { return InRange(gpu) && records_[gpu].has3DLowPowerLevel; }
bool GpuAccess::has3DPerformanceLevel(uint8_t gpu) const {
    return InRange(gpu) && records_[gpu].has3DPerformanceLevel;
}
bool GpuAccess::usesPstates20(uint8_t gpu) const { return InRange(gpu) && records_[gpu].usesPstates20(); }
bool GpuAccess::usesVfPoints(uint8_t gpu) const { return InRange(gpu) && records_[gpu].usesVfPoints(); }
bool GpuAccess::isSupported(uint8_t gpu) const { return InRange(gpu) && records_[gpu].isSupported(); }
bool GpuAccess::legacyListA(uint8_t gpu) const { return InRange(gpu) && records_[gpu].legacyListA; }
bool GpuAccess::boardA013(uint8_t gpu) const { return InRange(gpu) && records_[gpu].boardA013; }

int32_t GpuAccess::fanAccessKind(uint8_t gpu) const {
    return InRange(gpu) ? records_[gpu].fanAccessKind : kFanNotControllable;
}

int32_t GpuAccess::uiFlag(uint8_t gpu) const { return InRange(gpu) ? records_[gpu].uiFlag : 0; }

void GpuAccess::SetUiFlag(uint8_t gpu, int32_t value) {
    if (InRange(gpu)) records_[gpu].uiFlag = value;
}

bool GpuAccess::IsCardDevicePresent(uint8_t gpu, int slot) const {
    return InRange(gpu) && records_[gpu].IsCardDevicePresent(slot);
}

const GpuRecord* GpuAccess::Record(uint8_t gpu) const {
    return InRange(gpu) ? &records_[gpu] : nullptr;
}

int32_t GpuAccess::GetDriverVersion(uint32_t& drvVersion, std::string& buildBranch) {
    nvapi::DisplayDriverVersion info = {};
    info.version = nvapi::kDisplayDriverVersionVer;
    const int32_t status = api_.GetDisplayDriverVersion(records_[0].hNvDisplay.load(), &info);
    if (status == nvapi::OK) {
        drvVersion = info.drvVersion;
        buildBranch = TextOf(info.buildBranch, sizeof(info.buildBranch));
    }
    return status;
}

int32_t GpuAccess::GetMemoryInfo(uint32_t& dedicatedKb) {
    nvapi::DisplayDriverMemoryInfo info = {};
    info.version = nvapi::kDisplayDriverMemoryInfoVer;
    const int32_t status = api_.GetDisplayDriverMemoryInfo(records_[0].hNvDisplay.load(), &info);
    if (status == nvapi::OK) dedicatedKb = info.dedicatedVideoMemory;
    return status;
}

void GpuAccess::ReportAuxStatus(int32_t status) {
    if (status == nvapi::OK) return;
    const char* text = "\r\n";
    switch (status) {
        case nvapi::ERROR: text = "NVAPI_ERROR\r\n"; break;
        case nvapi::API_NOT_INITIALIZED: text = "NVAPI_API_NOT_INTIALIZED\r\n"; break;
        case nvapi::INVALID_ARGUMENT: text = "NVAPI_INVALID_ARGUMENT\r\n"; break;
        case nvapi::NOT_SUPPORTED: text = "NVAPI_NOT_SUPPORTED\r\n"; break;
        default: break;
    }
    if (debugSink_) debugSink_(text);
}

void GpuAccess::SetTraceSink(TextSink sink) { traceSink_ = std::move(sink); }

void GpuAccess::SetDebugSink(TextSink sink) { debugSink_ = std::move(sink); }

void GpuAccess::Trace(const char* format, ...) const {
    if (!traceSink_) return;
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof(line), format, args);
    va_end(args);
    traceSink_(line);
}

}  // namespace vx
