#include "monitor/ChartSetup.h"

#include <algorithm>

#include "app/CMultiLangSupp.h"
#include "gpu/GpuAccess.h"
#include "tuning/CCorvaneHDDlg.h"

namespace vx::monitor {
namespace {

constexpr int32_t kRangePad = 10;  // MHz around the domains' limits
constexpr int32_t kSupportedGraphicsFloor = 1800;
constexpr int32_t kVfGraphicsMax = 4000;
constexpr double kClockWiden = 1.2;
constexpr double kMemoryWiden = 1.5;
constexpr int32_t kLegacyKind3DPerf = 2;
constexpr float kPlotPixels = 60.0f;

void Extend(SeriesRange& range, int32_t minimumKhz, int32_t maximumKhz, double widen) {
    const auto maximum = static_cast<int32_t>(maximumKhz * widen);
    range.minimum = std::max(0, std::min(minimumKhz / 1000, range.minimum) - kRangePad);
    range.maximum = std::max(maximum / 1000, range.maximum) + kRangePad;
}

}  // namespace

std::array<SeriesRange, kChartSeries> ComputeSeriesRanges(const std::vector<ClockDomainLimits>& gpus) {
    std::array<SeriesRange, kChartSeries> ranges{};
    for (int s = 0; s < kChartSeries; ++s) ranges[static_cast<std::size_t>(s)] = {kSeries[static_cast<std::size_t>(s)].minimum,
                                                                                   kSeries[static_cast<std::size_t>(s)].maximum, 1.0f};
    SeriesRange& graphics = ranges[kGpuClock];
    SeriesRange& processor = ranges[kShaderClock];
    SeriesRange& memory = ranges[kMemoryClock];
    for (const ClockDomainLimits& gpu : gpus) {
        if (gpu.read) {
            const double clockWiden = gpu.supportedGpu ? kClockWiden : 1.0;
            Extend(graphics, gpu.graphicsMin, gpu.graphicsMax, clockWiden);
            Extend(processor, gpu.processorMin, gpu.processorMax, clockWiden);
            Extend(memory, gpu.memoryMin, gpu.memoryMax, gpu.supportedGpu ? kMemoryWiden : 1.0);
            if (gpu.supportedGpu) graphics.maximum = std::max(graphics.maximum, kSupportedGraphicsFloor);
        }
        if (gpu.usesVfPoints) graphics = {0, kVfGraphicsMax, 1.0f};
    }
    for (SeriesRange& range : ranges) {
        range.scale = static_cast<float>(range.maximum - range.minimum) / kPlotPixels;
        if (range.scale == 0.0f) range.scale = 1.0f;
    }
    return ranges;
}

ClockDomainLimits ReadClockDomainLimits(GpuAccess& access, int gpu) {
    ClockDomainLimits limits;
    const GpuRecord* record = access.Record(static_cast<uint8_t>(gpu));
    if (!record) return limits;
    limits.supportedGpu = record->isSupported();
    limits.usesVfPoints = record->usesVfPoints();
    LegacyClockRange level{};
    if (access.GetLegacyClockRange(static_cast<uint8_t>(gpu), level, kLegacyKind3DPerf) != 0) return limits;
    limits.read = true;
    limits.graphicsMin = level.graphics.minimum;
    limits.graphicsMax = level.graphics.maximum;
    limits.processorMin = level.processor.minimum;
    limits.processorMax = level.processor.maximum;
    limits.memoryMin = level.memory.minimum;
    limits.memoryMax = level.memory.maximum;
    return limits;
}

void UpdateAvailability(ChartHistory& history, const tuning::CCorvaneHDDlg& dialog) {
    for (std::size_t s = 0; s < kSeries.size(); ++s) {
        bool any = false;
        for (int g = 0; g < dialog.gpuCount() && g < kChartGpus; ++g) any = any || dialog.record(g).live.*kSeries[s].source != -1;
        history.available[s] = any;
        if (!any) history.show[s] = false;
    }
}

std::array<bool, kChartSeries> MonitorSeries(const ChartHistory& history) {
    std::array<bool, kChartSeries> shown{};
    for (std::size_t s = 0; s < shown.size(); ++s) shown[s] = history.available[s] && history.show[s];
    return shown;
}

void SetUpChart(CurveChart& chart, tuning::CCorvaneHDDlg& dialog, const std::array<bool, kChartSeries>& shown,
                const std::array<SeriesRange, kChartSeries>& ranges, int32_t plotWidth, ChartHistory* history) {
    for (int s = 0; s < kChartSeries; ++s) chart.EnableSeries(s, shown[static_cast<std::size_t>(s)]);
    for (int g = 0; g < dialog.gpuCount() && g < kChartGpus; ++g) {
        tuning::LiveFields& live = dialog.record(g).live;
        for (int s = 0; s < kChartSeries; ++s) {
            const SeriesInfo& info = kSeries[static_cast<std::size_t>(s)];
            const int32_t* field = &(live.*info.source);
            chart.BindSource(s, g, field, info.secondSource ? field : nullptr);
            chart.SetSeriesUnit(s, g, info.unit);
        }
    }
    chart.Create(plotWidth, history);
    for (int s = 0; s < kChartSeries; ++s) {
        if (!shown[static_cast<std::size_t>(s)]) continue;
        const SeriesRange& range = ranges[static_cast<std::size_t>(s)];
        chart.SetSeriesLabel(s, app::Text(kSeries[static_cast<std::size_t>(s)].labelText));
        chart.SetSeriesRange(s, range.minimum, range.maximum, range.scale);
    }
}

}  // namespace vx::monitor
