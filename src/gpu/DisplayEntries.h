#pragma once
// Typed stubs over the binding for the display entries: arguments passed through unchanged,
// the driver's status returned unchanged.
#include "gpu/DisplayStructs.h"
#include "gpu/DriverBinding.h"

namespace vx::driver {

class DisplayEntries {
public:
    explicit DisplayEntries(DriverBinding& binding) : b_(binding) {}

    DriverBinding& binding() const { return b_; }

    int32_t EnumPhysicalGPUs(nvapi::PhysicalGpuHandle (&handles)[nvapi::kMaxPhysicalGpus], uint32_t* count) const {
        return b_.Call<nvapi::EnumPhysicalGPUsFn>(nvapi::EnumPhysicalGPUs,
                                                  static_cast<nvapi::PhysicalGpuHandle*>(handles), count);
    }
    int32_t EnumNvidiaDisplayHandle(uint32_t index, nvapi::DisplayHandle* display) const {
        return b_.Call<nvapi::EnumNvidiaDisplayHandleFn>(nvapi::EnumNvidiaDisplayHandle, index, display);
    }
    int32_t GetConnectedDisplayIds(nvapi::PhysicalGpuHandle gpu, nvapi::DisplayIdEntry* ids, uint32_t* count) const {
        return b_.Call<nvapi::GetConnectedDisplayIdsFn>(nvapi::GPU_GetConnectedDisplayIds, gpu, ids, count, 0u);
    }
    int32_t GetAssociatedNvidiaDisplayName(nvapi::DisplayHandle display, nvapi::ShortString& name) const {
        return b_.Call<nvapi::GetAssociatedNvidiaDisplayNameFn>(nvapi::GetAssociatedNvidiaDisplayName, display,
                                                                static_cast<char*>(name));
    }
    int32_t GetAssociatedNvidiaDisplayHandle(const char* name, nvapi::DisplayHandle* display) const {
        return b_.Call<nvapi::GetAssociatedNvidiaDisplayHandleFn>(nvapi::GetAssociatedNvidiaDisplayHandle, name,
                                                                  display);
    }
    int32_t GetDisplayIdByDisplayName(const char* name, uint32_t* displayId) const {
        return b_.Call<nvapi::GetDisplayIdByDisplayNameFn>(nvapi::DISP_GetDisplayIdByDisplayName, name, displayId);
    }
    int32_t GetLogicalGPUFromDisplay(nvapi::DisplayHandle display, nvapi::LogicalGpuHandle* gpu) const {
        return b_.Call<nvapi::GetLogicalGPUFromDisplayFn>(nvapi::GetLogicalGPUFromDisplay, display, gpu);
    }
    int32_t EnumNvidiaUnAttachedDisplayHandle(uint32_t index, nvapi::UnAttachedDisplayHandle* display) const {
        return b_.Call<nvapi::EnumUnAttachedDisplayHandleFn>(nvapi::EnumNvidiaUnAttachedDisplayHandle, index,
                                                             display);
    }
    int32_t CreateDisplayFromUnAttachedDisplay(nvapi::UnAttachedDisplayHandle unattached,
                                               nvapi::DisplayHandle* display) const {
        return b_.Call<nvapi::CreateDisplayFromUnAttachedFn>(nvapi::CreateDisplayFromUnAttachedDisplay, unattached,
                                                             display);
    }
    int32_t GetDisplayModeInfo(nvapi::PhysicalGpuHandle gpu, uint32_t displayId, nvapi::DisplayModeInfo* info) const {
        return b_.Call<nvapi::GetDisplayModeInfoFn>(nvapi::GPU_GetDisplayModeInfo, gpu, displayId, info);
    }
    int32_t GetMonitorDetails(uint32_t displayId, nvapi::MonitorDetails* details) const {
        return b_.Call<nvapi::GetMonitorDetailsFn>(nvapi::DISP_GetMonitorDetails, displayId, details);
    }
    int32_t GetCurrentTimings(nvapi::DisplayHandle display, uint32_t* count, nvapi::CurrentTiming* entries) const {
        return b_.Call<nvapi::GetCurrentTimingsFn>(nvapi::DISP_GetCurrentTimings, display, count, entries);
    }
    int32_t DispGetTiming(uint32_t displayId, nvapi::TimingInput* input, nvapi::Timing* timing) const {
        return b_.Call<nvapi::DispGetTimingFn>(nvapi::DISP_GetTiming, displayId, input, timing);
    }
    int32_t DispTryCustomDisplay(uint32_t* ids, uint32_t count, nvapi::CustomDisplay* displays) const {
        return b_.Call<nvapi::DispTryCustomDisplayFn>(nvapi::DISP_TryCustomDisplay, ids, count, displays);
    }
    int32_t DispSaveCustomDisplay(uint32_t* ids, uint32_t count, uint32_t outputOnly, uint32_t monitorOnly) const {
        return b_.Call<nvapi::DispSaveCustomDisplayFn>(nvapi::DISP_SaveCustomDisplay, ids, count, outputOnly,
                                                       monitorOnly);
    }
    int32_t DispRevertCustomDisplayTrial(uint32_t* ids, uint32_t count) const {
        return b_.Call<nvapi::DispRevertCustomDisplayTrialFn>(nvapi::DISP_RevertCustomDisplayTrial, ids, count);
    }
    int32_t GetAssociatedDisplayOutputId(nvapi::DisplayHandle display, uint32_t* outputId) const {
        return b_.Call<nvapi::GetAssociatedDisplayOutputIdFn>(nvapi::GetAssociatedDisplayOutputId, display, outputId);
    }
    int32_t GetTiming(nvapi::DisplayHandle display, uint32_t outputId, nvapi::TimingInput* input,
                      nvapi::Timing* timing) const {
        return b_.Call<nvapi::GetTimingFn>(nvapi::GetTiming, display, outputId, input, timing);
    }
    int32_t TryCustomDisplay(nvapi::DisplayHandle display, uint32_t outputMask, nvapi::CustomDisplay* custom) const {
        return b_.Call<nvapi::TryCustomDisplayFn>(nvapi::TryCustomDisplay, display, outputMask, custom, 1u, 0u);
    }
    int32_t SaveCustomDisplay(nvapi::DisplayHandle display, uint32_t outputOnly, uint32_t monitorOnly) const {
        return b_.Call<nvapi::SaveCustomDisplayFn>(nvapi::SaveCustomDisplay, display, outputOnly, monitorOnly);
    }
    int32_t DpAuxChannelControl(nvapi::DisplayHandle display, nvapi::AuxRequest* request) const {
        return b_.Call<nvapi::DpAuxChannelControlFn>(nvapi::DISP_DpAuxChannelControl, display, request,
                                                     static_cast<uint32_t>(sizeof(nvapi::AuxRequest)));
    }

private:
    DriverBinding& b_;
};

}  // namespace vx::driver
