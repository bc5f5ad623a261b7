#pragma once
// A GPU's displays in the rig: identity, desktop mode, current timing, how custom-timing calls
// answer, and an optional DisplayPort multi-display device behind the output.
#include <cstdint>
#include <string>

namespace vx::sim {

struct DpDeviceConfig {
    bool present = false;
    uint8_t panels = 1;          // DPCD 0x4A6: panels across (1 to 4)
    std::string firmware;        // at most 13 characters, read at mailbox offset 95
    bool locked = true;          // needs the unlock command before anything else
    bool stuckBusy = false;      // never clears the mailbox busy bit

    bool operator==(const DpDeviceConfig&) const = default;
};

struct DisplayModel {
    uint32_t displayId = 0;
    std::string name;            // e.g. "\\\\.\\DISPLAY1"
    bool attached = true;        // part of the desktop; otherwise listed as unattached
    uint32_t width = 1920;
    uint32_t height = 1080;
    uint32_t refreshHz = 60;
    uint32_t pixelClock10kHz = 14850;
    uint32_t modeWord = 0;
    int32_t trialStatus = 0;     // what a custom timing trial answers
    int32_t saveStatus = 0;
    int32_t revertStatus = 0;
    DpDeviceConfig dp;

    bool operator==(const DisplayModel&) const = default;
};

inline constexpr std::size_t kMaxDisplaysPerGpu = 16;
inline constexpr std::size_t kMaxDpFirmwareChars = 13;

}  // namespace vx::sim
