// Display entries: connected display IDs, names and handles, modes and timings, custom timing
// trials, and DisplayPort AUX transfers answered by the display's device model.
#include "gpu/DisplayStructs.h"
#include "gpu/NvApiIds.h"
#include "sim/SimEntries.h"
#include "sim/SimulatorImpl.h"

#include <algorithm>
#include <cstring>

namespace vx::sim {

using namespace vx::nvapi;

namespace {

constexpr uint64_t kUnattachedTag = 0x5E1F;
constexpr uint64_t kLogicalGpuTag = 0x5E20;

// A display handle carries the GPU in its index and the display's slot in its generation field.
void* HandleFor(EntryCall& call, uint64_t tag, DisplayRef ref) {
    return handles::Encode(tag, call.sim().instance, static_cast<uint32_t>(ref.slot), static_cast<uint32_t>(ref.gpu));
}

std::optional<DisplayRef> FromHandle(EntryCall& call, const void* handle, uint64_t tag) {
    handles::Decoded h = handles::Decode(handle);
    const Rig& rig = call.sim().rig;
    if (h.tag != tag || h.instance != (call.sim().instance & 0xFFFF) || h.index >= rig.gpus.size() ||
        h.generation >= rig.gpus[h.index].displays.size())
        return std::nullopt;
    if (tag == handles::kDisplayTag) call.UseDisplay(static_cast<DisplayHandle>(const_cast<void*>(handle)));
    return DisplayRef{h.index, h.generation};
}

template <typename Match>
std::optional<DisplayRef> FindDisplay(const Rig& rig, Match match) {
    for (std::size_t g = 0; g < rig.gpus.size(); ++g)
        for (std::size_t s = 0; s < rig.gpus[g].displays.size(); ++s)
            if (match(rig.gpus[g].displays[s])) return DisplayRef{g, s};
    return std::nullopt;
}

std::optional<DisplayRef> ById(const Rig& rig, uint32_t id) {
    return FindDisplay(rig, [&](const DisplayModel& d) { return d.displayId == id; });
}

DisplayModel& At(EntryCall& call, DisplayRef ref) { return call.sim().rig.gpus[ref.gpu].displays[ref.slot]; }

// The driver's own timing for a mode: CEA-like blanking, clock from the totals.
Timing TimingFor(uint32_t width, uint32_t height, uint32_t refreshHz) {
    Timing t{};
    t.hVisible = static_cast<uint16_t>(width);
    t.hTotal = static_cast<uint16_t>(width + 280);
    t.hSyncWidth = 44;
    t.hFrontPorch = 88;
    t.vVisible = static_cast<uint16_t>(height);
    t.vTotal = static_cast<uint16_t>(height + 45);
    t.vSyncWidth = 5;
    t.vFrontPorch = 4;
    t.pclk = static_cast<uint32_t>(uint64_t(t.hTotal) * t.vTotal * refreshHz / 10000);
    t.rr = static_cast<uint16_t>(refreshHz);
    t.rrx1k = refreshHz * 1000;
    return t;
}

int32_t SimGetConnectedDisplayIds(PhysicalGpuHandle gpu, DisplayIdEntry* ids, uint32_t* count, uint32_t flags) {
    return ServeEntry(GPU_GetConnectedDisplayIds, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseGpu(gpu)) return status;
        call.Arg(flags);
        if (!count) return INVALID_ARGUMENT;
        const auto& displays = call.gpu().displays;
        if (!ids) {
            *count = static_cast<uint32_t>(displays.size());
            return OK;
        }
        const uint32_t n = std::min<uint32_t>(*count, static_cast<uint32_t>(displays.size()));
        for (uint32_t i = 0; i < n; ++i) {
            if (int32_t status = call.CheckVersion(ids[i].version, kDisplayIdEntryVer)) return status;
            ids[i].connectorType = displays[i].dp.present ? 6 : 0;
            ids[i].displayId = displays[i].displayId;
            ids[i].flags = 0;
        }
        *count = n;
        return OK;
    });
}

int32_t SimGetAssociatedNvidiaDisplayName(DisplayHandle display, char* name) {
    return ServeEntry(GetAssociatedNvidiaDisplayName, [&](EntryCall& call) -> int32_t {
        auto ref = FromHandle(call, display, handles::kDisplayTag);
        if (!ref) return INVALID_HANDLE;
        if (!name) return INVALID_ARGUMENT;
        CopyDriverString(At(call, *ref).name, name);
        return OK;
    });
}

int32_t SimGetAssociatedNvidiaDisplayHandle(const char* name, DisplayHandle* display) {
    return ServeEntry(GetAssociatedNvidiaDisplayHandle, [&](EntryCall& call) -> int32_t {
        if (!name || !display) return INVALID_ARGUMENT;
        const std::string wanted(name, strnlen(name, kShortStringSize));
        auto ref = FindDisplay(call.sim().rig, [&](const DisplayModel& d) { return d.attached && d.name == wanted; });
        if (!ref) return NVIDIA_DEVICE_NOT_FOUND;
        *display = static_cast<DisplayHandle>(HandleFor(call, handles::kDisplayTag, *ref));
        return OK;
    });
}

int32_t SimGetDisplayIdByDisplayName(const char* name, uint32_t* displayId) {
    return ServeEntry(DISP_GetDisplayIdByDisplayName, [&](EntryCall& call) -> int32_t {
        if (!name || !displayId) return INVALID_ARGUMENT;
        const std::string wanted(name, strnlen(name, kShortStringSize));
        auto ref = FindDisplay(call.sim().rig, [&](const DisplayModel& d) { return d.name == wanted; });
        if (!ref) return NVIDIA_DEVICE_NOT_FOUND;
        *displayId = At(call, *ref).displayId;
        return OK;
    });
}

int32_t SimGetLogicalGPUFromDisplay(DisplayHandle display, LogicalGpuHandle* gpu) {
    return ServeEntry(GetLogicalGPUFromDisplay, [&](EntryCall& call) -> int32_t {
        auto ref = FromHandle(call, display, handles::kDisplayTag);
        if (!ref) return INVALID_HANDLE;
        if (!gpu) return INVALID_ARGUMENT;
        *gpu = static_cast<LogicalGpuHandle>(HandleFor(call, kLogicalGpuTag, DisplayRef{ref->gpu, 0}));
        return OK;
    });
}

int32_t SimEnumUnAttachedDisplayHandle(uint32_t index, UnAttachedDisplayHandle* display) {
    return ServeEntry(EnumNvidiaUnAttachedDisplayHandle, [&](EntryCall& call) -> int32_t {
        call.Arg(index);
        if (!display) return INVALID_ARGUMENT;
        uint32_t seen = 0;
        auto ref = FindDisplay(call.sim().rig, [&](const DisplayModel& d) { return !d.attached && seen++ == index; });
        if (!ref) return END_ENUMERATION;
        *display = static_cast<UnAttachedDisplayHandle>(HandleFor(call, kUnattachedTag, *ref));
        return OK;
    });
}

int32_t SimCreateDisplayFromUnAttached(UnAttachedDisplayHandle unattached, DisplayHandle* display) {
    return ServeEntry(CreateDisplayFromUnAttachedDisplay, [&](EntryCall& call) -> int32_t {
        auto ref = FromHandle(call, unattached, kUnattachedTag);
        if (!ref) return INVALID_HANDLE;
        if (!display) return INVALID_ARGUMENT;
        *display = static_cast<DisplayHandle>(HandleFor(call, handles::kDisplayTag, *ref));
        return OK;
    });
}

int32_t SimGetDisplayModeInfo(PhysicalGpuHandle gpu, uint32_t displayId, DisplayModeInfo* info) {
    return ServeEntry(GPU_GetDisplayModeInfo, [&](EntryCall& call) -> int32_t {
        if (int32_t status = call.UseGpu(gpu)) return status;
        call.Arg(displayId);
        if (!info) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(info->version, kDisplayModeInfoVer)) return status;
        auto ref = ById(call.sim().rig, displayId);
        if (!ref) return INVALID_ARGUMENT;
        const DisplayModel& d = At(call, *ref);
        *info = DisplayModeInfo{kDisplayModeInfoVer, d.width, d.height, 32, 0, d.modeWord, d.refreshHz};
        return OK;
    });
}

int32_t SimGetMonitorDetails(uint32_t displayId, MonitorDetails* details) {
    return ServeEntry(DISP_GetMonitorDetails, [&](EntryCall& call) -> int32_t {
        call.Arg(displayId);
        if (!details) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(details->version, kMonitorDetailsVer)) return status;
        if (!ById(call.sim().rig, displayId)) return INVALID_ARGUMENT;
        std::memset(details->words, 0, sizeof(details->words));
        return OK;
    });
}

// The timings of every display on the handle's GPU, in rig order.
int32_t SimGetCurrentTimings(DisplayHandle display, uint32_t* count, CurrentTiming* entries) {
    return ServeEntry(DISP_GetCurrentTimings, [&](EntryCall& call) -> int32_t {
        auto ref = FromHandle(call, display, handles::kDisplayTag);
        if (!ref) return INVALID_HANDLE;
        if (!count || !entries) return INVALID_ARGUMENT;
        const auto& displays = call.sim().rig.gpus[ref->gpu].displays;
        const uint32_t n = std::min<uint32_t>({*count, kMaxCurrentTimings, static_cast<uint32_t>(displays.size())});
        for (uint32_t i = 0; i < n; ++i) {
            if (int32_t status = call.CheckVersion(entries[i].version, kCurrentTimingVer)) return status;
            entries[i].refreshHz = displays[i].refreshHz;
            entries[i].pixelClock10kHz = displays[i].pixelClock10kHz;
        }
        *count = n;
        return OK;
    });
}

int32_t SimDispGetTiming(uint32_t displayId, TimingInput* input, Timing* timing) {
    return ServeEntry(DISP_GetTiming, [&](EntryCall& call) -> int32_t {
        call.Arg(displayId);
        if (!input || !timing) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(input->version, kTimingInputVer)) return status;
        call.Arg(input->width);
        call.Arg(input->height);
        call.Arg(static_cast<int64_t>(input->rr));
        if (!ById(call.sim().rig, displayId)) return INVALID_ARGUMENT;
        *timing = TimingFor(input->width, input->height, static_cast<uint32_t>(input->rr));
        return OK;
    });
}

// Shows `custom`'s timing on the display until it is saved or reverted.
int32_t StartTrial(EntryCall& call, DisplayRef ref, const CustomDisplay& custom) {
    DisplayModel& d = At(call, ref);
    call.Arg(d.displayId);
    call.Arg(custom.timing.pclk);
    call.Arg(custom.timing.rr);
    if (d.trialStatus != OK) return d.trialStatus;
    call.sim().displays.trials.try_emplace(d.displayId, SavedTiming{d.pixelClock10kHz, d.refreshHz});
    d.pixelClock10kHz = custom.timing.pclk;
    d.refreshHz = custom.timing.rr;
    return OK;
}

int32_t EndTrial(EntryCall& call, DisplayRef ref, bool keep) {
    DisplayModel& d = At(call, ref);
    call.Arg(d.displayId);
    if (int32_t status = keep ? d.saveStatus : d.revertStatus; status != OK) return status;
    auto& trials = call.sim().displays.trials;
    auto trial = trials.find(d.displayId);
    if (trial == trials.end()) return keep ? ERROR : OK;  // nothing to save; nothing left to revert
    if (!keep) {
        d.pixelClock10kHz = trial->second.pixelClock10kHz;
        d.refreshHz = trial->second.refreshHz;
    }
    trials.erase(trial);
    return OK;
}

int32_t SimDispTryCustomDisplay(uint32_t* ids, uint32_t count, CustomDisplay* displays) {
    return ServeEntry(DISP_TryCustomDisplay, [&](EntryCall& call) -> int32_t {
        if (!ids || !displays || count != 1) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(displays->version, kCustomDisplayVer)) return status;
        auto ref = ById(call.sim().rig, ids[0]);
        return ref ? StartTrial(call, *ref, *displays) : INVALID_ARGUMENT;
    });
}

int32_t SimDispSaveCustomDisplay(uint32_t* ids, uint32_t count, uint32_t outputOnly, uint32_t monitorOnly) {
    return ServeEntry(DISP_SaveCustomDisplay, [&](EntryCall& call) -> int32_t {
        if (!ids || count != 1) return INVALID_ARGUMENT;
        auto ref = ById(call.sim().rig, ids[0]);
        if (!ref) return INVALID_ARGUMENT;
        int32_t status = EndTrial(call, *ref, true);
        call.Arg(outputOnly);
        call.Arg(monitorOnly);
        return status;
    });
}

int32_t SimDispRevertCustomDisplayTrial(uint32_t* ids, uint32_t count) {
    return ServeEntry(DISP_RevertCustomDisplayTrial, [&](EntryCall& call) -> int32_t {
        if (!ids || count != 1) return INVALID_ARGUMENT;
        auto ref = ById(call.sim().rig, ids[0]);
        return ref ? EndTrial(call, *ref, false) : INVALID_ARGUMENT;
    });
}

int32_t SimGetAssociatedDisplayOutputId(DisplayHandle display, uint32_t* outputId) {
    return ServeEntry(GetAssociatedDisplayOutputId, [&](EntryCall& call) -> int32_t {
        auto ref = FromHandle(call, display, handles::kDisplayTag);
        if (!ref) return INVALID_HANDLE;
        if (!outputId) return INVALID_ARGUMENT;
        *outputId = 1u << ref->slot;
        return OK;
    });
}

int32_t SimGetTiming(DisplayHandle display, uint32_t outputId, TimingInput* input, Timing* timing) {
    return ServeEntry(GetTiming, [&](EntryCall& call) -> int32_t {
        auto ref = FromHandle(call, display, handles::kDisplayTag);
        if (!ref) return INVALID_HANDLE;
        call.Arg(outputId);
        if (!input || !timing) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(input->version, kTimingInputVer)) return status;
        *timing = TimingFor(input->width, input->height, static_cast<uint32_t>(input->rr + 0.5f));
        return OK;
    });
}

int32_t SimTryCustomDisplay(DisplayHandle display, uint32_t outputMask, CustomDisplay* custom, uint32_t count,
                            uint32_t save) {
    return ServeEntry(TryCustomDisplay, [&](EntryCall& call) -> int32_t {
        auto ref = FromHandle(call, display, handles::kDisplayTag);
        if (!ref) return INVALID_HANDLE;
        call.Arg(outputMask);
        if (!custom || count != 1) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(custom->version, kCustomDisplayVer)) return status;
        call.Arg(custom->width);
        call.Arg(custom->height);
        int32_t status = StartTrial(call, *ref, *custom);
        return status == OK && save ? EndTrial(call, *ref, true) : status;
    });
}

int32_t SimSaveCustomDisplay(DisplayHandle display, uint32_t outputOnly, uint32_t monitorOnly) {
    return ServeEntry(SaveCustomDisplay, [&](EntryCall& call) -> int32_t {
        auto ref = FromHandle(call, display, handles::kDisplayTag);
        if (!ref) return INVALID_HANDLE;
        int32_t status = EndTrial(call, *ref, true);
        call.Arg(outputOnly);
        call.Arg(monitorOnly);
        return status;
    });
}

int32_t SimDpAuxChannelControl(DisplayHandle display, AuxRequest* request, uint32_t size) {
    return ServeEntry(DISP_DpAuxChannelControl, [&](EntryCall& call) -> int32_t {
        auto ref = FromHandle(call, display, handles::kDisplayTag);
        if (!ref) return INVALID_HANDLE;
        if (!request || size != sizeof(AuxRequest)) return INVALID_ARGUMENT;
        if (int32_t status = call.CheckVersion(request->version, kAuxRequestVer)) return status;
        call.Arg(request->command);
        call.Arg(request->address);
        call.Arg(request->size + 1);
        DpAuxDevice* device = call.sim().displays.DeviceOf(At(call, *ref));
        if (!device || request->displayId != At(call, *ref).displayId) return NOT_SUPPORTED;
        if (request->size >= kAuxMaxBytes) return INVALID_ARGUMENT;
        const uint32_t count = request->size + 1;
        bool done = false;
        if (request->command == kAuxNativeRead) done = device->Read(request->address, request->data, count);
        if (request->command == kAuxNativeWrite) done = device->Write(request->address, request->data, count);
        request->reply = done ? 0 : 1;  // a NACK for what the device does not serve
        return OK;
    });
}

}  // namespace

DpAuxDevice* SimDisplays::DeviceOf(const DisplayModel& display) {
    if (!display.dp.present) return nullptr;
    return &devices.try_emplace(display.displayId, display.dp).first->second;
}

std::optional<DisplayRef> AttachedDisplayAt(const Rig& rig, uint32_t index) {
    uint32_t seen = 0;
    return FindDisplay(rig, [&](const DisplayModel& d) { return d.attached && seen++ == index; });
}

bool RigHasDisplays(const Rig& rig) {
    return std::any_of(rig.gpus.begin(), rig.gpus.end(), [](const GpuModel& g) { return !g.displays.empty(); });
}

int32_t EnumRigDisplay(EntryCall& call, uint32_t index, DisplayHandle* display) {
    auto ref = AttachedDisplayAt(call.sim().rig, index);
    if (!ref) return END_ENUMERATION;
    *display = static_cast<DisplayHandle>(HandleFor(call, handles::kDisplayTag, *ref));
    return OK;
}

std::vector<std::vector<uint8_t>> Simulator::DpRegisterWrites(uint32_t displayId) const {
    std::lock_guard lock(impl_->mutex);
    auto device = impl_->displays.devices.find(displayId);
    return device == impl_->displays.devices.end() ? std::vector<std::vector<uint8_t>>{}
                                                   : device->second.registerWrites();
}

void* DisplayEntryAddress(uint32_t id) {
    switch (id) {
    case GPU_GetConnectedDisplayIds: return reinterpret_cast<void*>(&SimGetConnectedDisplayIds);
    case GetAssociatedNvidiaDisplayName: return reinterpret_cast<void*>(&SimGetAssociatedNvidiaDisplayName);
    case GetAssociatedNvidiaDisplayHandle: return reinterpret_cast<void*>(&SimGetAssociatedNvidiaDisplayHandle);
    case DISP_GetDisplayIdByDisplayName: return reinterpret_cast<void*>(&SimGetDisplayIdByDisplayName);
    case GetLogicalGPUFromDisplay: return reinterpret_cast<void*>(&SimGetLogicalGPUFromDisplay);
    case EnumNvidiaUnAttachedDisplayHandle: return reinterpret_cast<void*>(&SimEnumUnAttachedDisplayHandle);
    case CreateDisplayFromUnAttachedDisplay: return reinterpret_cast<void*>(&SimCreateDisplayFromUnAttached);
    case GPU_GetDisplayModeInfo: return reinterpret_cast<void*>(&SimGetDisplayModeInfo);
    case DISP_GetMonitorDetails: return reinterpret_cast<void*>(&SimGetMonitorDetails);
    case DISP_GetCurrentTimings: return reinterpret_cast<void*>(&SimGetCurrentTimings);
    case DISP_GetTiming: return reinterpret_cast<void*>(&SimDispGetTiming);
    case DISP_TryCustomDisplay: return reinterpret_cast<void*>(&SimDispTryCustomDisplay);
    case DISP_SaveCustomDisplay: return reinterpret_cast<void*>(&SimDispSaveCustomDisplay);
    case DISP_RevertCustomDisplayTrial: return reinterpret_cast<void*>(&SimDispRevertCustomDisplayTrial);
    case GetAssociatedDisplayOutputId: return reinterpret_cast<void*>(&SimGetAssociatedDisplayOutputId);
    case GetTiming: return reinterpret_cast<void*>(&SimGetTiming);
    case TryCustomDisplay: return reinterpret_cast<void*>(&SimTryCustomDisplay);
    case SaveCustomDisplay: return reinterpret_cast<void*>(&SimSaveCustomDisplay);
    case DISP_DpAuxChannelControl: return reinterpret_cast<void*>(&SimDpAuxChannelControl);
    default: return nullptr;
    }
}

}  // namespace vx::sim
