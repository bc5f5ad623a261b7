#include "monitor/CLineChartCtrl.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

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

const FanCurve kStartCurve{};

}  // namespace

void CLineChartCtrl::SelectGpu(int gpu) {
    if (gpu < 0 || gpu >= kFanCurveSlots || gpu == gpu_) return;
    gpu_ = gpu;
    selected_ = -1;
}

const FanCurve& CLineChartCtrl::curveOf(int gpu) const {
    return gpu >= 0 && gpu < kFanCurveSlots ? (*curves_)[static_cast<std::size_t>(gpu)] : kStartCurve;
}

bool CLineChartCtrl::MovePoint(int index, CurvePoint wanted) {
    if (index < 0 || index >= kPointCount) return false;
    Points& points = current().points;
    const auto at = static_cast<std::size_t>(index);
    // Neighbours keep at least a degree between them so every segment has a width.
    const int32_t lowX = index == 0 ? FanCurve::kMinTemperature : points[at - 1].x + 1;
    const int32_t highX = index == kPointCount - 1 ? FanCurve::kMaxTemperature : points[at + 1].x - 1;
    const int32_t lowY = std::clamp(fanMin_, 0, 100);
    const int32_t highY = std::clamp(fanMax_, lowY, 100);  // a band reported upside down shrinks to its floor
    if (lowX > highX) return false;
    const CurvePoint moved{std::clamp(wanted.x, lowX, highX), std::clamp(wanted.y, lowY, highY)};
    if (moved == points[at]) return false;
    points[at] = moved;
    return true;
}

int CLineChartCtrl::PointAt(PixelPoint pixel) const {
    int best = -1;
    int32_t bestDistance = kHitRadius + 1;
    const auto marks = PointMarks();
    for (int i = 0; i < kPointCount; ++i) {
        const PixelPoint mark = marks[static_cast<std::size_t>(i)];
        const int32_t distance = std::max(std::abs(mark.x - pixel.x), std::abs(mark.y - pixel.y));
        if (distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

CurvePoint CLineChartCtrl::FromPixel(PixelPoint pixel) const {
    // ToPixel truncates, so a pixel stands for the units from its own offset up to the next
    // pixel's: the first whole unit in there is the one that maps back onto it.
    auto units = [](int32_t pixels, double scale) {
        const double value = pixels * scale;
        if (!std::isfinite(value)) return int32_t{0};
        return static_cast<int32_t>(std::ceil(std::clamp(value, -1e6, 1e6) - 1e-6));
    };
    return {static_cast<int32_t>(kAxisMin) + units(pixel.x - plot_.left, xScale_),
            static_cast<int32_t>(kAxisMax) - units(pixel.y - plot_.top, yScale_)};
}

void CLineChartCtrl::SelectNextPoint(int step) {
    if (selected_ < 0) {
        selected_ = step >= 0 ? 0 : kPointCount - 1;
        return;
    }
    selected_ = ((selected_ + (step >= 0 ? 1 : -1)) % kPointCount + kPointCount) % kPointCount;
}

bool CLineChartCtrl::MoveSelected(int32_t dx, int32_t dy) {
    if (selected_ < 0) return false;
    const CurvePoint from = points()[static_cast<std::size_t>(selected_)];
    return MovePoint(selected_, {from.x + dx, from.y + dy});
}

std::optional<PixelPoint> CLineChartCtrl::MarkerMark() const {
    if (!marker_) return std::nullopt;
    const auto onAxis = [](int32_t value) { return std::clamp(value, int32_t{0}, int32_t{100}); };
    return ToPixel({onAxis(marker_->x), onAxis(marker_->y)});
}

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
        if (shape() == kShapeSmooth) {
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
    for (std::size_t i = 0; i < marks.size(); ++i) marks[i] = ToPixel(points()[i]);
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
