#pragma once
// What the history charts record: one sample, the eight series with their labels, units and
// live-field sources, the curve colours per GPU, and the fixed value ranges.
#include <array>
#include <cstdint>

#include "monitor/ViewTypes.h"
#include "tuning/CCorvaneHDDlg.h"

namespace vx::monitor {

/// One history sample.
struct Para {
    int32_t value = -1;
    int32_t value2 = -1;  // the series' second source, when one is bound
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t reserved = 0;
};
static_assert(sizeof(Para) == 16);

inline constexpr int kChartGpus = 10;
inline constexpr int kChartSeries = 8;

struct SeriesInfo {
    int labelText;  // message table row
    const char* unit;
    int32_t tuning::LiveFields::*source;
    bool secondSource;  // the same field is bound again as `value2`
    uint32_t menuCommand;
    int32_t minimum;  // fixed range; the clock series' ranges are computed at creation
    int32_t maximum;
};

inline constexpr std::array<SeriesInfo, kChartSeries> kSeries{{
    {24, "W", &tuning::LiveFields::boardPower, false, 32806, 0, 250},
    {18, "MHz", &tuning::LiveFields::graphicsClock, false, 32807, 0, 10},
    {20, "MHz", &tuning::LiveFields::processorClock, false, 32808, 0, 10},
    {19, "MHz", &tuning::LiveFields::memoryClock, false, 32809, 0, 10},
    {21, "\xC2\xB0" "C", &tuning::LiveFields::temperature, false, 32810, 20, 150},
    {22, "%", &tuning::LiveFields::fanPercent, true, 32811, 0, 100},
    {23, "mv", &tuning::LiveFields::coreVoltage, false, 32812, 0, 2000},
    {214, "RPM", &tuning::LiveFields::fanRpm, true, 32813, 0, 10000},
}};

enum Series : int {
    kPower = 0,
    kGpuClock = 1,
    kShaderClock = 2,
    kMemoryClock = 3,
    kTemperature = 4,
    kFanPercent = 5,
    kVoltage = 6,
    kFanRpm = 7,
};

/// Curve colour of GPU index 0..9.
inline constexpr std::array<Rgb, kChartGpus> kCurveColours{{
    {0, 255, 0}, {255, 255, 0}, {255, 0, 0}, {125, 0, 125}, {0, 125, 125},
    {0, 0, 255}, {255, 0, 255}, {125, 125, 0}, {0, 0, 0}, {0, 0, 0},
}};

}  // namespace vx::monitor
