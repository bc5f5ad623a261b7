// Clock VF point entries: the domains and points of a GPU's rig, and per-point offsets that
// move the live model's clocks.
#include "sim/SimEntries.h"
#include "sim/SimulatorImpl.h"

#include "gpu/NvApiIds.h"
#include "gpu/VfStructs.h"

#include <cstring>

namespace vx::sim {
namespace {

using namespace vx::nvapi;

template <typename T>
void ClearAfterVersion(T& value) {
    const uint32_t version = value.version;
    std::memset(&value, 0, sizeof value);
    value.version = version;
}

void SetMaskBit(uint32_t (&mask)[kVfMaskWords], std::size_t index) {
    mask[index / 32] |= 1u << (index % 32);
}

// Every bit of the request's mask must name a point the GPU has.
bool MaskWithinPoints(const uint32_t (&mask)[kVfMaskWords], std::size_t pointCount) {
    for (int bit = 0; bit < kVfMaskWords * 32; ++bit)
        if (VfMaskBit(mask, bit) && static_cast<std::size_t>(bit) >= pointCount) return false;
    return true;
}

// The graphics and memory offsets in force drive the live model's clocks.
void FeedModel(EntryCall& call) {
    const VfConfig& vf = call.gpu().vf;
    call.sim().thermal.Live(call.gpuIndex(), call.gpu().telemetry)
        .SetClockOffsetKhz(VfDomainOffsetKhz(vf, kClockDomainGraphics), VfDomainOffsetKhz(vf, kClockDomainMemory));
}

int32_t SimClkDomainsGetInfo(PhysicalGpuHandle gpu, ClkDomainsInfo* info) {
    return ServeEntry(GPU_ClockClientClkDomainsGetInfo, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!info) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(info->version, kClkDomainsInfoVer)) return status;
        const VfConfig& vf = call.gpu().vf;
        if (vf.empty()) return NOT_SUPPORTED;
        ClearAfterVersion(*info);
        for (std::size_t d = 0; d < vf.domains.size() && d < kMaxVfDomains; ++d) {
            const VfDomainConfig& domain = vf.domains[d];
            SetMaskBit(info->domainMask, d);
            info->domains[d].type = domain.type;
            info->domains[d].domainId = domain.domainId;
            if (domain.type != kVfTypeProg) continue;
            info->domains[d].freqOffsetMaxKhz = domain.offsetMaxKhz;
            info->domains[d].freqOffsetMinKhz = domain.offsetMinKhz;
            info->domains[d].vfPointRange = VfPointRange(domain.firstPoint, domain.lastPoint);
        }
        return OK;
    });
}

int32_t SimClkVfPointsGetInfo(PhysicalGpuHandle gpu, ClkVfPointsInfo* info) {
    return ServeEntry(GPU_ClockClientClkVfPointsGetInfo, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!info) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(info->version, kClkVfPointsInfoVer)) return status;
        const VfConfig& vf = call.gpu().vf;
        if (vf.empty()) return NOT_SUPPORTED;
        ClearAfterVersion(*info);
        for (std::size_t p = 0; p < vf.points.size() && p < kMaxVfPoints; ++p) {
            SetMaskBit(info->vfPointMask, p);
            info->points[p].type = vf.points[p].type;
            info->points[p].flags = vf.points[p].voltageBased ? 1u : 0u;
        }
        return OK;
    });
}

int32_t SimClkVfPointsGetControl(PhysicalGpuHandle gpu, ClkVfPointsControl* control) {
    return ServeEntry(GPU_ClockClientClkVfPointsGetControl, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!control) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(control->version, kClkVfPointsControlVer)) return status;
        const VfConfig& vf = call.gpu().vf;
        if (vf.empty()) return NOT_SUPPORTED;
        if (!MaskWithinPoints(control->mask, vf.points.size())) return INVALID_ARGUMENT;
        for (std::size_t p = 0; p < vf.points.size() && p < kMaxVfPoints; ++p) {
            if (!VfMaskBit(control->mask, static_cast<int>(p))) continue;
            ClkVfPointControl& entry = control->points[p];
            std::memset(&entry, 0, sizeof entry);
            entry.type = vf.points[p].type;
            entry.freqOffsetKhz = vf.points[p].offsetKhz;
        }
        return OK;
    });
}

int32_t SimClkVfPointsSetControl(PhysicalGpuHandle gpu, ClkVfPointsControl* control) {
    return ServeEntry(GPU_ClockClientClkVfPointsSetControl, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseGpu(gpu)) return status;
        if (!control) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(control->version, kClkVfPointsControlVer)) return status;
        VfConfig& vf = call.gpu().vf;
        if (vf.empty()) return NOT_SUPPORTED;
        if (!MaskWithinPoints(control->mask, vf.points.size())) return INVALID_ARGUMENT;

        // Check every covered point before changing any, so a bad request changes nothing.
        for (std::size_t p = 0; p < vf.points.size(); ++p) {
            if (!VfMaskBit(control->mask, static_cast<int>(p)) || vf.points[p].type != kVfTypeProg) continue;
            const int32_t offset = control->points[p].freqOffsetKhz;
            const VfDomainConfig* domain = VfDomainOfPoint(vf, p);
            if (domain && (offset > domain->offsetMaxKhz || offset < domain->offsetMinKhz)) return INVALID_ARGUMENT;
        }
        for (std::size_t p = 0; p < vf.points.size(); ++p) {
            // A fixed point keeps its frequency whatever the request says.
            if (!VfMaskBit(control->mask, static_cast<int>(p)) || vf.points[p].type != kVfTypeProg) continue;
            vf.points[p].offsetKhz = control->points[p].freqOffsetKhz;
            call.sim().written.gpus[call.gpuIndex()].vfOffsets[static_cast<uint32_t>(p)] = vf.points[p].offsetKhz;
            call.Arg(static_cast<int64_t>(p));
            call.Arg(vf.points[p].offsetKhz);
        }
        FeedModel(call);
        call.sim().Persist();
        return OK;
    });
}

}  // namespace

void* VfEntryAddress(uint32_t id) {
    switch (id) {
    case GPU_ClockClientClkDomainsGetInfo: return reinterpret_cast<void*>(&SimClkDomainsGetInfo);
    case GPU_ClockClientClkVfPointsGetInfo: return reinterpret_cast<void*>(&SimClkVfPointsGetInfo);
    case GPU_ClockClientClkVfPointsGetControl: return reinterpret_cast<void*>(&SimClkVfPointsGetControl);
    case GPU_ClockClientClkVfPointsSetControl: return reinterpret_cast<void*>(&SimClkVfPointsSetControl);
    default: return nullptr;
    }
}

}  // namespace vx::sim
