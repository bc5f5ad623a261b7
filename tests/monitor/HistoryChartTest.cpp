// History queues and the chart model: ring edge cases, ranges from clock domains, the sampling
// timer, the shared history that refills a rebuilt chart, and the curves' pixel mapping.
#include <gtest/gtest.h>

#include <ctime>

#include "monitor/ChartSetup.h"
#include "monitor/CurveChart.h"
#include "support/FakeClock.h"
#include "support/ManualEventLoop.h"

namespace vx::monitor {
namespace {

Para Sample(int32_t value) {
    Para p;
    p.value = value;
    return p;
}

TEST(CurveQueueTest, RingEdgeCases) {
    struct Case {
        const char* name;
        uint32_t capacity;
        int pushes;
        int64_t resizeTo;  // -1: no resize
        int32_t count;
        int32_t oldest;  // value of At(0), 1-based push number; 0 when empty
    };
    const Case cases[] = {
        {"full ring drops the oldest", 100, 150, -1, 100, 51},
        {"shrinking keeps the newest", 100, 80, 50, 50, 31},
        {"growing keeps everything", 100, 80, 200, 80, 1},
        {"capacity 0 takes nothing", 0, 5, -1, 0, 0},
        {"resize of an empty queue", 10, 0, 20, 0, 0},
        {"memory stays bounded", 600, 10000, -1, 600, 9401},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CCurveQueue<Para> queue;
        queue.SetCapacity(c.capacity);
        for (int i = 1; i <= c.pushes; ++i) EXPECT_EQ(queue.Push(Sample(i)), c.capacity > 0 ? 1 : 0);
        if (c.resizeTo >= 0) queue.SetCapacity(static_cast<uint32_t>(c.resizeTo));
        ASSERT_EQ(queue.Count(), c.count);
        if (c.count == 0) {
            EXPECT_EQ(queue.At(0), nullptr);
            continue;
        }
        EXPECT_EQ(queue.At(0)->value, c.oldest);
        EXPECT_EQ(queue.At(c.count - 1)->value, c.pushes);  // newest
        EXPECT_EQ(queue.At(c.count), nullptr);
        EXPECT_EQ(queue.At(-1), nullptr);
        for (int32_t i = 1; i < c.count; ++i) EXPECT_EQ(queue.At(i)->value, queue.At(i - 1)->value + 1);
        queue.Clear();
        EXPECT_EQ(queue.Count(), 0);
        EXPECT_EQ(queue.Push(Sample(7)), 1);
        EXPECT_EQ(queue.At(0)->value, 7);
    }
}

TEST(ChartRangesTest, ClockRangesFromEveryGpusDomains) {
    // kHz limits; series 1 graphics, 2 processor, 3 memory.
    ClockDomainLimits plain{true, 300000, 1500000, 600000, 3000000, 400000, 2000000, false, false};
    ClockDomainLimits faster{true, 200000, 1800000, 0, 0, 400000, 2500000, false, false};
    ClockDomainLimits supported{true, 300000, 1000000, 600000, 1200000, 400000, 2000000, true, false};
    ClockDomainLimits vf = plain;
    vf.usesVfPoints = true;
    ClockDomainLimits unread{};
    struct Case {
        const char* name;
        std::vector<ClockDomainLimits> gpus;
        SeriesRange graphics, processor, memory;
    };
    const Case cases[] = {
        {"no GPU keeps the start values", {}, {0, 10}, {0, 10}, {0, 10}},
        {"two GPUs: the widest maximum, padded per GPU", {plain, faster}, {0, 1810}, {0, 3020}, {0, 2510}},
        {"supported: widened, graphics at least 1800", {supported}, {0, 1800}, {0, 1450}, {0, 3010}},
        {"VF points: graphics 0 to 4000", {vf, unread}, {0, 4000}, {0, 3010}, {0, 2010}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto ranges = ComputeSeriesRanges(c.gpus);
        const std::pair<int, SeriesRange> expected[] = {{kGpuClock, c.graphics}, {kShaderClock, c.processor},
                                                        {kMemoryClock, c.memory}, {kPower, {0, 250}},
                                                        {kTemperature, {20, 150}}, {kFanPercent, {0, 100}},
                                                        {kVoltage, {0, 2000}}, {kFanRpm, {0, 10000}}};
        for (const auto& [series, range] : expected) {
            const SeriesRange& got = ranges[static_cast<std::size_t>(series)];
            EXPECT_EQ(got.minimum, range.minimum) << series;
            EXPECT_EQ(got.maximum, range.maximum) << series;
            EXPECT_FLOAT_EQ(got.scale, static_cast<float>(range.maximum - range.minimum) / 60.0f) << series;
        }
    }
}

class ChartTest : public ::testing::Test {
protected:
    // Two GPUs with the temperature series, 0 to 60 °C so one degree is one pixel.
    void Bind(CurveChart& c) {
        c.EnableSeries(kTemperature, true);
        for (int g = 0; g < 2; ++g) c.BindSource(kTemperature, g, &fields[g]);
        c.SetSeriesRange(kTemperature, 0, 60, 1.0f);
        c.Create(kWidth + CurveChart::kCapacityMargin, &history);
    }
    /// Samples `values` for GPU 0 one second apart (GPU 1 reads 30).
    void Feed(std::initializer_list<int32_t> values) {
        for (int32_t v : values) {
            fields[0] = v;
            fields[1] = 30;
            chart.SampleCharts();
            clock.Advance(1000);
        }
    }

    static constexpr int32_t kWidth = 200;
    test::FakeClock clock;
    test::ManualEventLoop loop{clock};
    ChartHistory history;
    int32_t fields[2] = {-1, -1};
    CNCVCurves chart{loop, clock};
};

TEST_F(ChartTest, PeriodSamplesAtOnceThenEveryPeriodAndZeroStopsAndClears) {
    Bind(chart);
    int samples = 0;
    chart.onSampled = [&] { ++samples; };
    chart.SetSamplingPeriod(2000);
    loop.RunPending();
    EXPECT_EQ(samples, 1);  // at once, not a period later
    loop.RunFor(1999);
    EXPECT_EQ(samples, 1);
    loop.RunFor(1);
    EXPECT_EQ(samples, 2);
    loop.RunFor(4000);
    EXPECT_EQ(samples, 4);
    EXPECT_EQ(chart.queue(1, kTemperature).Count(), 4);

    chart.SetSamplingPeriod(0);
    EXPECT_FALSE(loop.HasTimer(CNCVCurves::kTimerId));
    EXPECT_EQ(chart.queue(1, kTemperature).Count(), 0);
    EXPECT_EQ(history.queues[1][kTemperature].Count(), 4);  // the shared history is kept
    loop.RunFor(10000);
    EXPECT_EQ(samples, 4);
}

TEST_F(ChartTest, QueuedFirstSampleIsDroppedWithTheChart) {
    auto doomed = std::make_unique<CNCVCurves>(loop, clock);
    Bind(*doomed);
    doomed->SetSamplingPeriod(1000);
    doomed.reset();
    loop.RunPending();  // must not touch the destroyed chart
    EXPECT_FALSE(loop.HasTimer(CNCVCurves::kTimerId));
}

TEST_F(ChartTest, RebuiltChartStartsFromTheSharedHistory) {
    Bind(chart);
    Feed({41, 42, 43});
    CNCVCurves rebuilt{loop, clock};
    Bind(rebuilt);
    rebuilt.RefillFrom(history);
    for (int g = 0; g < 2; ++g) {
        ASSERT_EQ(rebuilt.queue(g, kTemperature).Count(), 3);
        for (int32_t i = 0; i < 3; ++i)
            EXPECT_EQ(rebuilt.queue(g, kTemperature).At(i)->value, g == 0 ? 41 + i : 30);
    }
    // The first creation sized the history; later ones leave it (and its samples) alone.
    EXPECT_EQ(history.queues[0][kTemperature].capacity(), static_cast<uint32_t>(kWidth));
}

TEST_F(ChartTest, TwoGpusDrawTwoCurvesNewestAtTheRight) {
    Bind(chart);
    Feed({10, 20, -1, 20, 70, 60, 50});  // -1 and 70 (above the range) lift the pen
    const int32_t height = chart.ClientHeight();
    ASSERT_EQ(height, 95);
    const int32_t bottom = chart.BandBottom(0, height);
    EXPECT_EQ(bottom, 90);
    const int32_t right = kWidth - CurveChart::kNewestGap;

    struct Expected {
        int32_t x, value;
        bool startsLine;
    };
    const std::vector<Expected> gpu0 = {{right, 50, true}, {right - 1, 60, false}, {right - 3, 20, true},
                                        {right - 5, 20, true}, {right - 6, 10, false}};
    const auto curve = chart.Curve(0, kTemperature, kWidth, height);
    ASSERT_EQ(curve.size(), gpu0.size());
    for (std::size_t i = 0; i < curve.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(curve[i].at.x, gpu0[i].x);
        EXPECT_EQ(curve[i].at.y, bottom - gpu0[i].value);  // one degree per pixel; 60 at the band top
        EXPECT_EQ(curve[i].startsLine, gpu0[i].startsLine);
    }
    const auto second = chart.Curve(1, kTemperature, kWidth, height);
    ASSERT_EQ(second.size(), 7u);
    EXPECT_TRUE(second.front().startsLine);
    for (const HistoryPoint& p : second) EXPECT_EQ(p.at.y, bottom - 30);
    EXPECT_EQ(chart.NewestValue(0, kTemperature), 50);
    EXPECT_EQ(kCurveColours[0], (Rgb{0, 255, 0}));
    EXPECT_EQ(kCurveColours[1], (Rgb{255, 255, 0}));
}

TEST_F(ChartTest, CurveWalksBackAcrossMidnightAndStopsAtTheLeftLimit) {
    std::tm before{};
    before.tm_year = 124;
    before.tm_mon = 0;
    before.tm_mday = 1;
    before.tm_hour = 23;
    before.tm_min = 59;
    before.tm_sec = 58;
    before.tm_isdst = -1;
    clock.wallStart = std::chrono::system_clock::from_time_t(std::mktime(&before));
    Bind(chart);
    Feed({10, 11, 12, 13});  // 23:59:58 … 00:00:01
    const auto curve = chart.Curve(0, kTemperature, kWidth, chart.ClientHeight());
    ASSERT_EQ(curve.size(), 4u);
    EXPECT_EQ(curve.back().at.x, kWidth - CurveChart::kNewestGap - 3);

    // Hours of samples reach past the left limit: the walk stops there, and memory stays at
    // the capacity (the plot width − 48) in the chart and in the shared history.
    for (int i = 0; i < 10000; ++i) Feed({20});
    const auto longCurve = chart.Curve(0, kTemperature, kWidth, chart.ClientHeight());
    EXPECT_EQ(longCurve.back().at.x, CurveChart::kLeftLimit);
    for (int g = 0; g < 2; ++g) {
        EXPECT_EQ(chart.queue(g, kTemperature).Count(), kWidth);
        EXPECT_EQ(history.queues[static_cast<std::size_t>(g)][kTemperature].Count(), kWidth);
    }
}

}  // namespace
}  // namespace vx::monitor
