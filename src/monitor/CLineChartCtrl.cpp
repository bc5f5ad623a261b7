#include "monitor/CLineChartCtrl.h"

#include <cmath>

namespace vx::monitor {
namespace {

// Truncates toward zero; an empty plot's infinite or undefined offsets are held far outside
// any window instead of overflowing.
int32_t PixelOffset(double value) {
    constexpr double kLimit = 1e9;
    if (std::isnan(value)) return 0;
    if (value > kLimit) return static_cast<int32_t>(kLimit);
    if (value < -kLimit) return static_cast<int32_t>(-kLimit);
    return static_cast<int32_t>(value);
}

}  // namespace

void CLineChartCtrl::Layout(const PixelRect& client) {
    plot_.left = client.left + kMarginLeft + kYLabelRoom;
    plot_.top = client.top + kMarginTop;
    plot_.right = client.right - kMarginRight - kRightRoom;
    plot_.bottom = client.bottom - kMarginBottom - kXLabelRoom;
    xScale_ = (kAxisMax - kAxisMin) / static_cast<double>(plot_.right - plot_.left);
    yScale_ = (kAxisMax - kAxisMin) / static_cast<double>(plot_.bottom - plot_.top);
}

PixelPoint CLineChartCtrl::ToPixel(const CurvePoint& point) const {
    return {plot_.left + PixelOffset(point.x / xScale_), plot_.top + PixelOffset((kAxisMax - point.y) / yScale_)};
}

int32_t CLineChartCtrl::BandY(int32_t percent) const {
    return plot_.bottom - static_cast<int32_t>(int64_t{plot_.bottom - plot_.top} * percent / 100);
}

std::array<PixelLine, 2> CLineChartCtrl::RangeBand() const {
    const int32_t low = BandY(fanMin_);
    const int32_t high = BandY(fanMax_);
    return {PixelLine{{plot_.left, low}, {plot_.right, low}}, PixelLine{{plot_.left, high}, {plot_.right, high}}};
}

std::vector<PixelLine> CLineChartCtrl::CurveLines() const {
    std::vector<PixelLine> lines;
    const std::array<PixelPoint, kPointCount> marks = PointMarks();
    lines.push_back({{plot_.left, marks[0].y}, marks[0]});
    for (int i = 0; i + 1 < kPointCount; ++i) {
        const PixelPoint from = marks[static_cast<std::size_t>(i)];
        const PixelPoint to = marks[static_cast<std::size_t>(i + 1)];
        if (shape_ == kShapeSmooth) {
            lines.push_back({from, to});
        } else {
            // The step keeps the lower point's speed until the next point's temperature.
            const PixelPoint corner{to.x, from.y};
            lines.push_back({from, corner});
            lines.push_back({corner, to});
        }
    }
    const PixelPoint last = marks[kPointCount - 1];
    lines.push_back({last, {plot_.right, last.y}});
    return lines;
}

std::array<PixelPoint, CLineChartCtrl::kPointCount> CLineChartCtrl::PointMarks() const {
    std::array<PixelPoint, kPointCount> marks{};
    for (std::size_t i = 0; i < marks.size(); ++i) marks[i] = ToPixel(points_[i]);
    return marks;
}

std::vector<CLineChartCtrl::Tick> CLineChartCtrl::XTicks() const {
    std::vector<Tick> ticks;
    for (int32_t value = static_cast<int32_t>(kAxisMin); value <= static_cast<int32_t>(kAxisMax); value += kTickStep)
        ticks.push_back({value, ToPixel({value, 0}).x});
    return ticks;
}

std::vector<CLineChartCtrl::Tick> CLineChartCtrl::YTicks() const {
    std::vector<Tick> ticks;
    for (int32_t value = static_cast<int32_t>(kAxisMin); value <= static_cast<int32_t>(kAxisMax); value += kTickStep)
        ticks.push_back({value, ToPixel({0, value}).y});
    return ticks;
}

}  // namespace vx::monitor
