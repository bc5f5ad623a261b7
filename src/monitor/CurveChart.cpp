#include "monitor/CurveChart.h"

#include <algorithm>
#include <ctime>
#include <utility>

#include "ui/IClock.h"
#include "ui/IEventLoop.h"

namespace vx::monitor {
namespace {

constexpr int32_t kSecondsPerHour = 3600;
constexpr int32_t kSecondsPerDay = 24 * kSecondsPerHour;
constexpr int32_t kSampleCounterWrap = 9;

// Seconds from `newest` to `element` (negative for older ones); an element stamped at a later
// hour than the newest was taken before midnight.
int32_t SecondsBetween(const Para& newest, const Para& element) {
    const int32_t hours = element.hour - newest.hour;
    int32_t seconds = hours * kSecondsPerHour + (element.minute - newest.minute) * 60 + (element.second - newest.second);
    if (hours > 0) seconds -= kSecondsPerDay;
    return seconds;
}

}  // namespace

void ChartHistory::Clear() {
    for (auto& gpu : queues)
        for (auto& queue : gpu) queue.Clear();
}

Para StampOf(std::chrono::system_clock::time_point now) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    if (const std::tm* converted = std::localtime(&seconds)) local = *converted;  // interface thread only
    Para stamp;
    stamp.hour = static_cast<uint16_t>(local.tm_hour);
    stamp.minute = static_cast<uint16_t>(local.tm_min);
    stamp.second = static_cast<uint16_t>(local.tm_sec);
    return stamp;
}

CurveChart::CurveChart(ui::IEventLoop& loop, ui::IClock& clock, uint32_t timerId)
    : loop_(loop), clock_(clock), timerId_(timerId) {}

CurveChart::~CurveChart() {
    if (sampling_) loop_.KillTimer(timerId_);
}

void CurveChart::EnableSeries(int series, bool on) {
    if (ValidSeries(series)) enabled_[Index(series)] = on;
}

void CurveChart::BindSource(int series, int gpu, const int32_t* field, const int32_t* second) {
    if (!ValidSeries(series) || !ValidGpu(gpu)) return;
    sources_[Index(gpu)][Index(series)] = field;
    secondSources_[Index(gpu)][Index(series)] = second;
}

void CurveChart::SetSeriesRange(int series, int32_t minimum, int32_t maximum, float scale) {
    if (!ValidSeries(series) || maximum <= minimum) return;
    ranges_[Index(series)] = {minimum, maximum, scale == 0.0f ? 1.0f : scale};
}

void CurveChart::SetSeriesLabel(int series, std::string text) {
    if (ValidSeries(series)) labels_[Index(series)] = std::move(text);
}

void CurveChart::SetSeriesUnit(int series, int gpu, std::string text) {
    if (ValidSeries(series) && ValidGpu(gpu)) units_[Index(gpu)][Index(series)] = std::move(text);
}

void CurveChart::Create(int32_t plotWidth, ChartHistory* history) {
    const auto capacity = static_cast<uint32_t>(std::max(0, plotWidth - kCapacityMargin));
    for (int g = 0; g < kChartGpus; ++g)
        for (int s = 0; s < kChartSeries; ++s) {
            if (!bound(s, g)) continue;
            queues_[Index(g)][Index(s)].SetCapacity(capacity);
            if (history && !history->sized) history->queues[Index(g)][Index(s)].SetCapacity(capacity);
        }
    if (history) history->sized = true;
    history_ = history;
    periodMs_ = kDefaultPeriodMs;
}

void CurveChart::SetSamplingPeriod(uint32_t ms) {
    periodMs_ = ms;
    if (ms == 0) {
        loop_.KillTimer(timerId_);
        sampling_ = false;
        for (auto& gpu : queues_)
            for (auto& queue : gpu) queue.Clear();
        return;
    }
    loop_.SetTimer(timerId_, ms, [this] { SampleCharts(); });
    sampling_ = true;
    // The first sample is taken at once rather than a whole period later.
    loop_.Post([this, alive = std::weak_ptr<int>(alive_)] {
        if (alive.lock() && sampling_) SampleCharts();
    });
}

void CurveChart::SampleCharts() {
    Para stamp = StampOf(clock_.Now());
    if (++sampleCounter_ > kSampleCounterWrap) {
        sampleCounter_ = 0;
        ++labelCounter_;
    }
    for (int g = 0; g < kChartGpus; ++g)
        for (int s = 0; s < kChartSeries; ++s) {
            const int32_t* field = sources_[Index(g)][Index(s)];
            if (!field) continue;
            const int32_t* second = secondSources_[Index(g)][Index(s)];
            Para sample = stamp;
            sample.value = *field;
            sample.value2 = second ? *second : -1;
            queues_[Index(g)][Index(s)].Push(sample);
            if (history_) history_->queues[Index(g)][Index(s)].Push(sample);
        }
    last_ = stamp;
    if (onSampled) onSampled();
}

void CurveChart::RefillFrom(const ChartHistory& history) {
    for (std::size_t g = 0; g < queues_.size(); ++g)
        for (std::size_t s = 0; s < queues_[g].size(); ++s) {
            auto& queue = queues_[g][s];
            queue.Clear();
            const auto& source = history.queues[g][s];
            for (int32_t i = 0; i < source.Count(); ++i) queue.Push(*source.At(i));
        }
}

bool CurveChart::bound(int series, int gpu) const {
    return ValidSeries(series) && ValidGpu(gpu) && sources_[Index(gpu)][Index(series)] != nullptr;
}

bool CurveChart::gpuBound(int gpu) const {
    for (int s = 0; s < kChartSeries; ++s)
        if (bound(s, gpu)) return true;
    return false;
}

int32_t CurveChart::current(int series, int gpu) const {
    return bound(series, gpu) ? *sources_[Index(gpu)][Index(series)] : -1;
}

int CurveChart::enabledCount() const { return static_cast<int>(enabledSeries().size()); }

std::vector<int> CurveChart::enabledSeries() const {
    std::vector<int> series;
    for (int s = 0; s < kChartSeries; ++s)
        if (enabled_[Index(s)]) series.push_back(s);
    return series;
}

int32_t CurveChart::BandBottom(int strip, int32_t height) const {
    return height - kBottomMargin - (enabledCount() - 1 - strip) * kStripHeight;
}

int32_t CurveChart::XOf(const Para& element, const Para& newest, int32_t width) const {
    const auto periodSeconds = static_cast<int32_t>(std::max<uint32_t>(1, periodMs_ / 1000));
    return width - kNewestGap + SecondsBetween(newest, element) / periodSeconds;
}

std::vector<HistoryPoint> CurveChart::Curve(int gpu, int series, int32_t width, int32_t height) const {
    std::vector<HistoryPoint> points;
    if (!enabled(series) || !ValidGpu(gpu)) return points;
    const std::vector<int> shown = enabledSeries();
    int strip = 0;
    while (shown[Index(strip)] != series) ++strip;
    const int32_t bottom = BandBottom(strip, height);
    const SeriesRange& r = ranges_[Index(series)];
    const auto& q = queues_[Index(gpu)][Index(series)];
    const int32_t count = q.Count();
    if (count == 0) return points;
    const Para& newest = *q.At(count - 1);
    bool penUp = true;
    std::optional<int32_t> previousX;
    for (int32_t i = count - 1; i >= 0; --i) {
        const Para& element = *q.At(i);
        const int32_t x = XOf(element, newest, width);
        if (previousX && x == *previousX) continue;
        previousX = x;
        if (x < kLeftLimit) break;
        if (element.value == -1 || element.value < r.minimum || element.value > r.maximum) {
            penUp = true;
            continue;
        }
        const int32_t y = bottom - static_cast<int32_t>(static_cast<float>(element.value - r.minimum) / r.scale);
        if (y < bottom - kBandHeight || y > bottom) {
            penUp = true;
            continue;
        }
        points.push_back({{x, y}, element.value, penUp});
        penUp = false;
    }
    return points;
}

std::optional<int32_t> CurveChart::NewestValue(int gpu, int series) const {
    if (!ValidGpu(gpu) || !ValidSeries(series)) return std::nullopt;
    const auto& q = queues_[Index(gpu)][Index(series)];
    if (q.Count() == 0) return std::nullopt;
    const Para& newest = *q.At(q.Count() - 1);
    const int32_t value = units_[Index(gpu)][Index(series)] == "RPM" ? newest.value2 : newest.value;
    const SeriesRange& r = ranges_[Index(series)];
    if (value == -1 || value < r.minimum || value > r.maximum) return std::nullopt;
    return value;
}

}  // namespace vx::monitor
