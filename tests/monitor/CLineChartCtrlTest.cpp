// The fan curve control's geometry: plot rectangle and scales, where points and the fan range
// band land, and the lines of both shapes.
#include <gtest/gtest.h>

#include "monitor/CLineChartCtrl.h"

namespace vx::monitor {
namespace {

// A client rectangle whose plot is 100 x 100 pixels: one unit per pixel.
constexpr PixelRect kUnitClient{0, 0, 132, 121};

TEST(CLineChartCtrlTest, LayoutScalesAndMapsPointsTruncating) {
    CLineChartCtrl chart;
    chart.Layout(kUnitClient);
    EXPECT_EQ(chart.plot(), (PixelRect{21, 5, 121, 105}));
    EXPECT_DOUBLE_EQ(chart.xScale(), 1.0);
    EXPECT_EQ(chart.ToPixel({20, 20}), (PixelPoint{41, 85}));
    EXPECT_EQ(chart.ToPixel({100, 100}), (PixelPoint{121, 5}));

    chart.Layout({0, 0, 131, 121});  // 99 pixels wide: 19.8 pixels for 20 °C
    EXPECT_EQ(chart.ToPixel({20, 20}).x, 40);

    // Resizing keeps the shape and rescales the curve.
    chart.OnDoubleClick();
    chart.Layout({0, 0, 232, 221});
    EXPECT_EQ(chart.shape(), kShapeSmooth);
    EXPECT_EQ(chart.ToPixel({20, 20}), (PixelPoint{61, 165}));

    chart.Layout({0, 0, 32, 21});  // an empty plot: infinite scales, nothing overflows
    EXPECT_EQ(chart.ToPixel({100, 100}), (PixelPoint{21, 5}));
}

TEST(CLineChartCtrlTest, FanRangeBandFollowsTheSelectedGpu) {
    CLineChartCtrl chart;
    chart.Layout(kUnitClient);
    EXPECT_EQ(chart.RangeBand()[0].from.y, 105);
    chart.SetFanRange(30, 100);
    const auto band = chart.RangeBand();
    EXPECT_EQ(band[0], (PixelLine{{21, 75}, {121, 75}}));
    EXPECT_EQ(band[1], (PixelLine{{21, 5}, {121, 5}}));
}

TEST(CLineChartCtrlTest, ShapesDrawSmoothSegmentsOrStepsAndToggleOnDoubleClick) {
    CLineChartCtrl chart;
    chart.Layout(kUnitClient);
    ASSERT_EQ(chart.shape(), kShapeZigzag);
    const std::vector<PixelLine> steps = chart.CurveLines();
    ASSERT_EQ(steps.size(), 10u);
    EXPECT_EQ(steps.front(), (PixelLine{{21, 85}, {41, 85}}));
    EXPECT_EQ(steps[1], (PixelLine{{41, 85}, {61, 85}}));  // the left point's speed up to the next point
    EXPECT_EQ(steps[2], (PixelLine{{61, 85}, {61, 65}}));
    EXPECT_EQ(steps.back(), (PixelLine{{121, 5}, {121, 5}}));

    chart.OnDoubleClick();
    const std::vector<PixelLine> smooth = chart.CurveLines();
    ASSERT_EQ(smooth.size(), 6u);
    EXPECT_EQ(smooth[1], (PixelLine{{41, 85}, {61, 65}}));
    chart.OnDoubleClick();
    EXPECT_EQ(chart.shape(), kShapeZigzag);

    const auto marks = chart.PointMarks();
    EXPECT_EQ(marks[2], (PixelPoint{81, 45}));
    EXPECT_EQ(chart.YTicks().front().pixel, 105);
    EXPECT_EQ(chart.XTicks().back().pixel, 121);
}

TEST(CLineChartCtrlTest, MovesStayOrderedInsideTheAxesAndTheFanRangeBand) {
    struct Case {
        int index;
        CurvePoint wanted;
        CurvePoint expected;
        bool changed;
    };
    // Fan range 30–90 %; the neighbours of point 2 are at 40 and 80 °C.
    const Case cases[] = {
        {2, {55, 65}, {55, 65}, true},   // a free move
        {2, {40, 65}, {41, 65}, true},   // not onto the left neighbour
        {2, {95, 65}, {79, 65}, true},   // nor past the right one
        {2, {60, 10}, {60, 30}, true},   // percent held at the band's floor
        {2, {60, 99}, {60, 90}, true},   // and its ceiling
        {0, {-5, 50}, {0, 50}, true},    // temperatures stay inside 0–100 °C
        {4, {130, 50}, {100, 50}, true},
        {2, {60, 60}, {60, 60}, false},  // no change
        {5, {60, 60}, {}, false},        // no such point
        {-1, {60, 60}, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "point " << c.index << " to " << c.wanted.x << "/" << c.wanted.y);
        CLineChartCtrl chart;
        chart.SetFanRange(30, 90);
        const CLineChartCtrl::Points before = chart.points();
        EXPECT_EQ(chart.MovePoint(c.index, c.wanted), c.changed);
        if (c.changed) EXPECT_EQ(chart.points()[static_cast<std::size_t>(c.index)], c.expected);
        else EXPECT_EQ(chart.points(), before);
    }
    // A band reported upside down never lets the percent escape 0–100.
    CLineChartCtrl odd;
    odd.SetFanRange(80, 20);
    odd.MovePoint(1, {40, 5});
    EXPECT_EQ(odd.points()[1], (CurvePoint{40, 80}));
}

TEST(CLineChartCtrlTest, KeyboardSelectsAndMovesPointsAndResetRestoresTheStartCurve) {
    CLineChartCtrl chart;
    chart.Layout(kUnitClient);
    EXPECT_FALSE(chart.MoveSelected(1, 0));  // nothing selected yet
    chart.SelectNextPoint(-1);
    EXPECT_EQ(chart.selectedPoint(), 4);
    chart.SelectNextPoint(+1);
    EXPECT_EQ(chart.selectedPoint(), 0);  // wraps
    chart.SelectNextPoint(+1);
    EXPECT_TRUE(chart.MoveSelected(+1, -1));
    EXPECT_EQ(chart.points()[1], (CurvePoint{41, 39}));
    for (int i = 0; i < 40; ++i) chart.MoveSelected(+1, 0);
    EXPECT_EQ(chart.points()[1].x, 59);  // stops a degree short of the next point

    // The mouse: a press near a point grabs it, a drag moves it to the pixel's value.
    const PixelPoint third = chart.PointMarks()[2];
    EXPECT_EQ(chart.PointAt({third.x + 4, third.y - 5}), 2);
    EXPECT_EQ(chart.PointAt({third.x + 6, third.y}), -1);
    // Every whole value maps back from its pixel, also where a unit spans pixels unevenly.
    for (const PixelRect client : {kUnitClient, PixelRect{0, 0, 400, 180}})
        for (const CurvePoint at : {CurvePoint{70, 55}, CurvePoint{33, 35}, CurvePoint{0, 100}, CurvePoint{100, 0}}) {
            chart.Layout(client);
            EXPECT_EQ(chart.FromPixel(chart.ToPixel(at)), at);
        }
    chart.Layout(kUnitClient);

    chart.OnDoubleClick();
    chart.ResetCurve();
    EXPECT_EQ(chart.points(), CLineChartCtrl::kStartPoints);
    EXPECT_EQ(chart.shape(), kShapeSmooth);  // the shape is the double-click's
}

TEST(CLineChartCtrlTest, EachGpuKeepsItsOwnCurveInTheAttachedStore) {
    FanCurves store{};
    CLineChartCtrl chart;
    chart.AttachCurves(store);
    chart.SelectGpu(1);
    chart.MovePoint(0, {25, 35});
    chart.OnDoubleClick();
    EXPECT_EQ(store[1].points[0], (CurvePoint{25, 35}));
    EXPECT_EQ(store[1].shape, kShapeSmooth);
    chart.SelectGpu(0);
    EXPECT_EQ(chart.points(), CLineChartCtrl::kStartPoints);
    EXPECT_EQ(chart.curveOf(1), store[1]);
    EXPECT_EQ(chart.curveOf(kFanCurveSlots), FanCurve{});  // past the slots: the start curve
    chart.SelectGpu(kFanCurveSlots);
    EXPECT_EQ(chart.selectedGpu(), 0);
}

}  // namespace
}  // namespace vx::monitor
