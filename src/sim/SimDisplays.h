#pragma once
// The simulator's live display state: the timing each display showed before a custom timing
// trial, and the DisplayPort devices (built from the rig on first use).
#include "sim/DpAuxDevice.h"
#include "sim/Rig.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>

namespace vx::sim {

struct DisplayRef {
    std::size_t gpu = 0;
    std::size_t slot = 0;  // index into the GPU's displays
};

struct SavedTiming {
    uint32_t pixelClock10kHz = 0;
    uint32_t refreshHz = 0;
};

struct SimDisplays {
    std::map<uint32_t, SavedTiming> trials;     // display ID -> timing before the trial
    std::map<uint32_t, DpAuxDevice> devices;    // display ID -> its DisplayPort device

    /// The device behind `display`, or null when it has none.
    DpAuxDevice* DeviceOf(const DisplayModel& display);
};

/// The `index`-th attached display, GPUs in rig order; nullopt past the last one.
std::optional<DisplayRef> AttachedDisplayAt(const Rig& rig, uint32_t index);
/// Whether any GPU of the rig describes its displays.
bool RigHasDisplays(const Rig& rig);
class EntryCall;
/// The enumeration of display handles over a rig that describes its displays.
int32_t EnumRigDisplay(EntryCall& call, uint32_t index, nvapi::DisplayHandle* display);

}  // namespace vx::sim
