// CPU cost of the history charts: one SampleCharts of 10 GPUs × 8 series into full queues, and
// one repaint of the monitor window showing all eight strips with full queues.
//   cmake --build build --target ChartBench && QT_QPA_PLATFORM=offscreen build/ChartBench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>

#include <array>
#include <chrono>

#include "monitor/CurveChart.h"
#include "qt/CurveChartView.h"
#include "ui/IClock.h"
#include "ui/IEventLoop.h"

namespace {

using namespace vx::monitor;

struct IdleLoop : vx::ui::IEventLoop {
    void Post(std::function<void()>) override {}
    void SetTimer(uint32_t, uint32_t, std::function<void()>) override {}
    void KillTimer(uint32_t) override {}
    void Quit(int) override {}
};

// One second per call, so every sample lands one pixel further.
struct SteppingClock : vx::ui::IClock {
    uint64_t TickCountMs() const override { return 0; }
    void SleepMs(uint32_t) override {}
    std::chrono::system_clock::time_point Now() const override { return now += std::chrono::seconds(1); }
    mutable std::chrono::system_clock::time_point now{};
};

constexpr int32_t kPlotWidth = 640;

struct FullChart {
    FullChart() {
        for (int s = 0; s < kChartSeries; ++s) {
            chart.EnableSeries(s, true);
            chart.SetSeriesLabel(s, "Series");
            chart.SetSeriesRange(s, 0, 4000, 4000.0f / 60);
            for (int g = 0; g < kChartGpus; ++g) {
                chart.BindSource(s, g, &fields[static_cast<std::size_t>(g)][static_cast<std::size_t>(s)]);
                chart.SetSeriesUnit(s, g, "MHz");
            }
        }
        chart.Create(kPlotWidth, &history);
        for (int i = 0; i < kPlotWidth; ++i) Sample(i);
    }
    void Sample(int i) {
        for (int g = 0; g < kChartGpus; ++g)
            for (int s = 0; s < kChartSeries; ++s)
                fields[static_cast<std::size_t>(g)][static_cast<std::size_t>(s)] = (i * 37 + g * 300 + s * 11) % 4000;
        chart.SampleCharts();
    }
    IdleLoop loop;
    SteppingClock clock;
    ChartHistory history;
    std::array<std::array<int32_t, kChartSeries>, kChartGpus> fields{};
    CNCVCurves chart{loop, clock};
};

void BM_SampleCharts(benchmark::State& state) {
    FullChart full;
    int i = 0;
    for (auto _ : state) full.Sample(++i);
    state.SetItemsProcessed(state.iterations() * kChartGpus * kChartSeries);
}
BENCHMARK(BM_SampleCharts);

void BM_MonitorRepaint(benchmark::State& state) {
    FullChart full;
    vx::qt::CurveChartView view(vx::qt::CurveChartView::Style::Strips);
    view.SetChart(&full.chart);
    view.resize(kPlotWidth, full.chart.ClientHeight());
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        view.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_MonitorRepaint)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
