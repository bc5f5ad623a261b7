// Clock offsets on VF-point GPUs: every point of a domain's range carries the domain's offset.
#include "gpu/GpuAccess.h"

#include "gpu/TelemetryUnits.h"

#include <cstdarg>
#include <cstdio>

namespace vx {

namespace {

constexpr const char* kCaption = "Veltrix Plus";
constexpr const char* kInfoFailed = "Could not query CLIENT_CLK_INFO - failed with error %d\n";

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof(line), format, args);
    va_end(args);
    return line;
}

const char* VfTypeName(uint32_t type) {
    switch (type) {
    case nvapi::kVfTypeProg: return "PROG";
    case nvapi::kVfTypeFixed: return "FIXED";
    default: return "UNKNOWN/ERROR";
    }
}

bool DomainValid(const nvapi::ClkDomainsInfo& info, int domain) {
    // Only the first 32 bits of the domain mask are in use.
    return ((info.domainMask[0] >> domain) & 1u) != 0;
}

// A point index that names an entry of the 255-entry arrays and is in the driver's mask.
bool PointValid(const uint32_t (&mask)[nvapi::kVfMaskWords], int index) {
    return index >= 0 && index < nvapi::kVfMaxPoints && nvapi::VfMaskBit(mask, index);
}

}  // namespace

void GpuAccess::ShowMessage(const std::string& text) {
    if (prompts_)
        prompts_->MessageBox(text, kCaption, ui::BoxIcon::Warning, ui::BoxButtons::Ok);
    else
        Trace("%s", text.c_str());
}

void GpuAccess::ShowVfFailure(int32_t status, const std::string& text) {
    if (vfPass_) {
        if (vfPass_->status_ != nvapi::OK) {
            Trace("%s", text.c_str());
            return;
        }
        vfPass_->status_ = status;
    }
    ShowMessage(text);
}

int32_t GpuAccess::GetVfInfo(uint8_t gpu, nvapi::ClkVfInfo& info) {
    if (!InRange(gpu)) return nvapi::INVALID_ARGUMENT;
    const nvapi::PhysicalGpuHandle handle = records_[gpu].hPhysicalGpu.load();
    info = {};
    info.domains.version = nvapi::kClkDomainsInfoVer;
    info.points.version = nvapi::kClkVfPointsInfoVer;
    int32_t status = api_.ClockClientClkDomainsGetInfo(handle, &info.domains);
    if (status != nvapi::OK) {
        Trace("NvAPI_GPU_ClockClientClkDomainsGetInfo API call failed with error %d\n", status);
        return status;
    }
    status = api_.ClockClientClkVfPointsGetInfo(handle, &info.points);
    if (status != nvapi::OK)
        Trace("NvAPI_GPU_ClockClientClkVfPointsGetInfo API call failed with error %d\n", status);
    return status;
}

int32_t GpuAccess::ReadVfDomains(uint8_t gpu, int32_t show) {
    nvapi::ClkVfInfo info;
    if (const int32_t status = GetVfInfo(gpu, info); status != nvapi::OK) {
        Trace(kInfoFailed, status);
        return status;
    }

    std::string text;
    auto emit = [&](const std::string& line) {
        Trace("%s", line.c_str());
        text += line;
    };
    emit("CLIENT_CLK INFO:\n");
    emit("-------------------- CLIENT_CLK_DOMAINs -----------------------------------\n");
    emit(Format(".domainMask.super\n\t.pData[0]=0x%08x\n", info.domains.domainMask[0]));
    for (int d = 0; d < nvapi::kVfMaxDomains; ++d) {
        if (!DomainValid(info.domains, d)) continue;
        const nvapi::ClkDomainInfo& domain = info.domains.domains[d];
        emit(Format(".domain[%d]\n", d));
        emit(Format("\t.type=%s\n", VfTypeName(domain.type)));
        emit(Format("\t.domainId=%s\n", telemetry::ClockDomainName(domain.domainId)));
        if (domain.type != nvapi::kVfTypeProg) continue;
        const uint8_t first = nvapi::VfPointFirst(domain.vfPointRange);
        const uint8_t last = nvapi::VfPointLast(domain.vfPointRange);
        emit("\t.prog\n");
        emit(Format("\t\t.freqOffsetMaxkHz=%d\n", domain.freqOffsetMaxKhz));
        emit(Format("\t\t.freqOffsetMinkHz=%d\n", domain.freqOffsetMinKhz));
        emit(Format("\t\t.vfPointxIdFirst=%d\n", first));
        emit(Format("\t\t.vfPointIdxLast=%d\n", last));
        if (domain.domainId == nvapi::kClockDomainGraphics) {
            graphicsOffsetMaxKhz_ = domain.freqOffsetMaxKhz;
            graphicsOffsetMinKhz_ = domain.freqOffsetMinKhz;
            vfPointFirstGraphics_ = first;
            vfPointLastGraphics_ = last;
        } else if (domain.domainId == nvapi::kClockDomainMemory) {
            memoryOffsetMaxKhz_ = domain.freqOffsetMaxKhz;
            memoryOffsetMinKhz_ = domain.freqOffsetMinKhz;
            vfPointFirstMemory_ = first;
            vfPointLastMemory_ = last;
        }
    }

    emit("-------------------- CLIENT_CLK_VF_POINTS ----------------------------\n");
    emit(".vfPointMask.super\n");
    for (int w = 0; w < nvapi::kVfMaskWords; ++w)
        emit(Format("\t.pData[%d]=0x%08x\n", w, info.points.vfPointMask[w]));
    for (int p = 0; p < nvapi::kVfMaxPoints; ++p) {
        if (!nvapi::VfMaskBit(info.points.vfPointMask, p)) continue;
        const nvapi::ClkVfPointInfo& point = info.points.points[p];
        emit(Format(".vfPoint[%d]\n", p));
        emit(Format("\t.type=%s\n", VfTypeName(point.type)));
        emit(Format("\t.bVoltageBased=%d\n", static_cast<int>(point.flags & 0xFF)));
    }

    if (show == 1) ShowMessage(text);
    return nvapi::OK;
}

int32_t GpuAccess::ReadVfOffsets(uint8_t gpu) {
    nvapi::ClkVfInfo info;
    if (const int32_t status = GetVfInfo(gpu, info); status != nvapi::OK) {
        Trace(kInfoFailed, status);
        return status;
    }

    nvapi::ClkVfPointsControl control = {};
    control.version = nvapi::kClkVfPointsControlVer;
    for (int w = 0; w < nvapi::kVfMaskWords; ++w) control.mask[w] = info.points.vfPointMask[w];
    if (const int32_t status = api_.ClockClientClkVfPointsGetControl(records_[gpu].hPhysicalGpu.load(), &control);
        status != nvapi::OK) {
        Trace("NvAPI_GPU_ClockClientClkVfPointsGetControl API call failed with error %d\n", status);
        return status;
    }

    Trace("CLIENT_CLK CONTROL:\n");
    Trace("-------------------- CLIENT_CLK_VF_POINTS (By Domain) -------------------------\n");
    for (int d = 0; d < nvapi::kVfMaxDomains; ++d) {
        const nvapi::ClkDomainInfo& domain = info.domains.domains[d];
        if (!DomainValid(info.domains, d) || domain.type != nvapi::kVfTypeProg) continue;
        const int first = nvapi::VfPointFirst(domain.vfPointRange);
        const int last = nvapi::VfPointLast(domain.vfPointRange);
        for (int p = first; p <= last; ++p) {
            // A point the driver did not report was not filled in: its words mean nothing.
            if (!PointValid(info.points.vfPointMask, p)) continue;
            const nvapi::ClkVfPointControl& point = control.points[p];
            if (point.type != nvapi::kVfTypeProg) continue;
            Trace("vfPoints[%d]\n", p);
            Trace("\t.prog\n");
            Trace("\t\t.freqOffsetkHz=%d\n", point.freqOffsetKhz);
            vfPointOffsets_[static_cast<std::size_t>(p)] = point.freqOffsetKhz;
            if (domain.domainId == nvapi::kClockDomainGraphics)
                graphicsVfOffsetKhz_ = point.freqOffsetKhz;
            else if (domain.domainId == nvapi::kClockDomainMemory)
                memoryVfOffsetKhz_ = point.freqOffsetKhz;
        }
    }
    return nvapi::OK;
}

int32_t GpuAccess::SetVfPointOffset(uint8_t gpu, int32_t index, int32_t offsetKhz) {
    nvapi::ClkVfInfo info;
    if (const int32_t status = GetVfInfo(gpu, info); status != nvapi::OK) {
        ShowVfFailure(status, Format(kInfoFailed, status));
        return status;
    }
    // Index 255 is still inside the 256-bit mask but past the 255 entries.
    if (!PointValid(info.points.vfPointMask, index)) {
        ShowVfFailure(nvapi::INVALID_ARGUMENT, Format("Invalid vfPointIdx %d.\n", index));
        return nvapi::INVALID_ARGUMENT;
    }
    const auto slot = static_cast<std::size_t>(index);
    if (info.points.points[slot].type != nvapi::kVfTypeProg) {
        Trace("CLK_VF_POINT at vfPointIdx %d does not support frequency offset..\n", index);
        return nvapi::NOT_SUPPORTED;
    }

    const nvapi::PhysicalGpuHandle handle = records_[gpu].hPhysicalGpu.load();
    nvapi::ClkVfPointsControl control = {};
    control.version = nvapi::kClkVfPointsControlVer;
    control.mask[slot / 32] = 1u << (slot % 32);
    if (const int32_t status = api_.ClockClientClkVfPointsGetControl(handle, &control); status != nvapi::OK) {
        // Writing back a request that was never filled would overwrite the point with zeros.
        ShowVfFailure(status,
                      Format("NvAPI_GPU_ClockClientClkVfPointsGetControl API call failed with error %d\n", status));
        return status;
    }
    control.points[slot].freqOffsetKhz = offsetKhz;
    const int32_t status = api_.ClockClientClkVfPointsSetControl(handle, &control);
    if (status != nvapi::OK)
        ShowVfFailure(status,
                      Format("NvAPI_GPU_ClockClientClkVfPointsSetControl API call failed with error %d\n", status));
    return status;
}

}  // namespace vx
