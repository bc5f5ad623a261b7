#pragma once
// Wide timings for a desktop spread over several panels: fixed blanking, 60 Hz unless that
// needs 360 MHz or more, then 50 Hz.
#include "gpu/DisplayStructs.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vx::display {

struct WideTiming {
    uint32_t pixelClockHz = 0;
    uint32_t hSync = 0, vSync = 0;
    uint32_t hBackPorch = 0, vBackPorch = 0;
    uint32_t hActive = 0, vActive = 0;
    uint32_t hTotal = 0, vTotal = 0;
    uint32_t hPolarity = 1, vPolarity = 1;  // 1: positive sync
    uint32_t refreshMilliHz = 0;
};

inline constexpr uint32_t kMaxPixelClockHz = 360000000;
inline constexpr std::size_t kMaxWideTimings = 12;

/// Panels across as the device reports it: 0 or above 4 counts as 1.
uint32_t PanelsAcross(uint8_t reported);
/// The timing of `width` × `height` at `refreshMilliHz` with the fixed blanking.
WideTiming FixedBlankingTiming(uint32_t width, uint32_t height, uint32_t refreshMilliHz);
/// One entry per standard resolution that fits below 360 MHz, `panels` wide.
std::vector<WideTiming> WideTimingList(uint32_t panels);
/// "%dX%d@%dHz %.1fMHz 8 bits".
std::string WideTimingLabel(const WideTiming& timing);
/// The custom display that applies `timing` over the driver's own timing `base`.
nvapi::CustomDisplay CustomDisplayFor(const WideTiming& timing, const nvapi::Timing& base);
/// Refresh in Hz: pixel clock over the totals.
float RefreshOf(const WideTiming& timing);

}  // namespace vx::display
