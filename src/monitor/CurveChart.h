#pragma once
// A history chart: [GPU][series] ring queues fed from the live fields on the chart's own timer,
// and the geometry of its curves and legend, which any view draws. CNCVCurves is the monitor
// window's chart; CCVCurves and CTCVCurves are the main window's.
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "monitor/CCurveQueue.h"
#include "monitor/ChartSeries.h"

namespace vx::ui {
class IClock;
class IEventLoop;
}  // namespace vx::ui

namespace vx::monitor {

using CurveGrid = std::array<std::array<CCurveQueue<Para>, kChartSeries>, kChartGpus>;

struct SeriesRange {
    int32_t minimum = 0;
    int32_t maximum = 99;
    float scale = 1.0f;  // units per pixel
};

/// The process-wide history and switches: they outlive the monitor window and refill it when
/// it is rebuilt.
struct ChartHistory {
    CurveGrid queues;
    bool sized = false;  // resized on the first creation of the run only
    std::array<bool, kChartSeries> show{true, true, true, true, true, true, true, true};
    std::array<bool, kChartSeries> available{};
    void Clear();
};

/// One point of a curve in chart pixels; `startsLine` where the pen was lifted before it.
struct HistoryPoint {
    PixelPoint at;
    int32_t value = 0;
    bool startsLine = false;
};

class CurveChart {
public:
    static constexpr int32_t kStripHeight = 90;
    static constexpr int32_t kBandHeight = 60;
    static constexpr int32_t kBottomMargin = 5;
    static constexpr int32_t kLeftLimit = 28;
    static constexpr int32_t kNewestGap = 30;       // the newest sample sits this far left of the edge
    static constexpr int32_t kCapacityMargin = 48;  // plot width minus this many pixels of history
    static constexpr uint32_t kDefaultPeriodMs = 1000;

    /// `loop` and `clock` must outlive the chart.
    CurveChart(ui::IEventLoop& loop, ui::IClock& clock, uint32_t timerId);
    virtual ~CurveChart();
    CurveChart(const CurveChart&) = delete;
    CurveChart& operator=(const CurveChart&) = delete;

    void EnableSeries(int series, bool on);
    /// `field` (and `second`, may be null) must outlive the chart or be unbound first.
    void BindSource(int series, int gpu, const int32_t* field, const int32_t* second = nullptr);
    /// Taken only when maximum > minimum; a scale of 0 becomes 1.
    void SetSeriesRange(int series, int32_t minimum, int32_t maximum, float scale);
    void SetSeriesLabel(int series, std::string text);
    void SetSeriesUnit(int series, int gpu, std::string text);
    /// Sizes every bound queue to the plot width, and `history`'s queues on its first sizing.
    void Create(int32_t plotWidth, ChartHistory* history = nullptr);

    /// Samples at once (posted), then every `ms`; 0 stops sampling and empties the queues.
    void SetSamplingPeriod(uint32_t ms);
    /// One sample of every bound source into the queues (and the shared history), then
    /// `onSampled`.
    void SampleCharts();
    /// Empties the queues and refills them with copies of `history`, oldest first.
    void RefillFrom(const ChartHistory& history);

    /// Runs after every sample (the log, the repaint).
    std::function<void()> onSampled;

    // State
    bool enabled(int series) const { return ValidSeries(series) && enabled_[Index(series)]; }
    bool bound(int series, int gpu) const;
    bool gpuBound(int gpu) const;  // any series of `gpu` bound
    int32_t current(int series, int gpu) const;  // the source's value now; -1 when unbound
    const SeriesRange& range(int series) const { return ranges_.at(Index(series)); }
    const std::string& label(int series) const { return labels_.at(Index(series)); }
    const std::string& unit(int series, int gpu) const { return units_.at(Index(gpu)).at(Index(series)); }
    const CCurveQueue<Para>& queue(int gpu, int series) const { return queues_.at(Index(gpu)).at(Index(series)); }
    uint32_t samplingPeriodMs() const { return periodMs_; }
    bool sampling() const { return sampling_; }
    uint32_t timerId() const { return timerId_; }
    int enabledCount() const;
    std::vector<int> enabledSeries() const;
    int32_t labelCounter() const { return labelCounter_; }

    // Geometry, for a client area of `width` × `height`
    /// Height for one strip per enabled series.
    int32_t ClientHeight() const { return kStripHeight * enabledCount() + kBottomMargin; }
    /// Bottom of the 60-pixel plot band of strip `strip` (counted among enabled series).
    int32_t BandBottom(int strip, int32_t height) const;
    /// The points of one GPU's curve of `series`, newest first.
    std::vector<HistoryPoint> Curve(int gpu, int series, int32_t width, int32_t height) const;
    /// The newest value the legend shows, when it exists and lies within the range.
    std::optional<int32_t> NewestValue(int gpu, int series) const;

protected:
    static bool ValidSeries(int series) { return series >= 0 && series < kChartSeries; }
    static bool ValidGpu(int gpu) { return gpu >= 0 && gpu < kChartGpus; }
    static std::size_t Index(int index) { return static_cast<std::size_t>(index); }

private:
    int32_t XOf(const Para& element, const Para& newest, int32_t width) const;

    ui::IEventLoop& loop_;
    ui::IClock& clock_;
    uint32_t timerId_;
    CurveGrid queues_;
    ChartHistory* history_ = nullptr;
    std::array<std::array<const int32_t*, kChartSeries>, kChartGpus> sources_{};
    std::array<std::array<const int32_t*, kChartSeries>, kChartGpus> secondSources_{};
    std::array<std::array<std::string, kChartSeries>, kChartGpus> units_{};
    std::array<bool, kChartSeries> enabled_{};
    std::array<std::string, kChartSeries> labels_{};
    std::array<SeriesRange, kChartSeries> ranges_{};
    uint32_t periodMs_ = kDefaultPeriodMs;
    bool sampling_ = false;
    int32_t sampleCounter_ = 0;
    int32_t labelCounter_ = 0;
    Para last_{};
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);  // posted samples check it
};

/// The monitor window's chart: timer 77, fed into the process-wide history as well.
class CNCVCurves : public CurveChart {
public:
    static constexpr uint32_t kTimerId = 77;
    CNCVCurves(ui::IEventLoop& loop, ui::IClock& clock) : CurveChart(loop, clock, kTimerId) {}
};

/// The main window's large chart.
class CCVCurves : public CurveChart {
public:
    static constexpr uint32_t kTimerId = 7700;
    CCVCurves(ui::IEventLoop& loop, ui::IClock& clock) : CurveChart(loop, clock, kTimerId) {}
};

/// One of the main window's four small charts; each has its own timer.
class CTCVCurves : public CurveChart {
public:
    static constexpr uint32_t kFirstTimerId = 7701;
    CTCVCurves(ui::IEventLoop& loop, ui::IClock& clock, int slot)
        : CurveChart(loop, clock, kFirstTimerId + static_cast<uint32_t>(slot)) {}
};

/// The local time of `now` as a sample stamp.
Para StampOf(std::chrono::system_clock::time_point now);

}  // namespace vx::monitor
