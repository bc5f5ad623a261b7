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

}  // namespace
}  // namespace vx::monitor
