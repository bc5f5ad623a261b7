#pragma once
// Building a chart over the dialog's GPUs: which series show, the sources, units, labels, and
// the value ranges, with the clock ranges taken from each GPU's clock domains.
#include <array>
#include <cstdint>
#include <vector>

#include "monitor/CurveChart.h"

namespace vx {
class GpuAccess;
}

namespace vx::monitor {

/// One GPU's clock domain limits in kHz, as read from its 3D performance level.
struct ClockDomainLimits {
    bool read = false;  // false when the level could not be read
    int32_t graphicsMin = 0, graphicsMax = 0;
    int32_t processorMin = 0, processorMax = 0;
    int32_t memoryMin = 0, memoryMax = 0;
    bool supportedGpu = false;
    bool usesVfPoints = false;
};

/// The ranges of the eight series over every GPU's limits; scales span 60 pixels.
std::array<SeriesRange, kChartSeries> ComputeSeriesRanges(const std::vector<ClockDomainLimits>& gpus);

/// Reads the limits of GPU `gpu` from `access`.
ClockDomainLimits ReadClockDomainLimits(GpuAccess& access, int gpu);

/// Marks the series that some GPU delivers (a live value other than -1); an unavailable
/// series is not shown.
void UpdateAvailability(ChartHistory& history, const tuning::CCorvaneHDDlg& dialog);

/// Binds every GPU's live fields, units and the series in `shown` (labels and ranges) to
/// `chart`, then creates it for `plotWidth`.
void SetUpChart(CurveChart& chart, tuning::CCorvaneHDDlg& dialog, const std::array<bool, kChartSeries>& shown,
                const std::array<SeriesRange, kChartSeries>& ranges, int32_t plotWidth,
                ChartHistory* history = nullptr);

/// The monitor window's set: series both available and switched on.
std::array<bool, kChartSeries> MonitorSeries(const ChartHistory& history);

}  // namespace vx::monitor
