#pragma once
// The fan curve control of the main window: five (temperature, fan percent) points drawn as a
// smooth or a stepped curve over the current GPU's allowed fan range. Each GPU has its own
// curve; the control shows and edits the selected GPU's, and the fan automation reads each
// GPU's, so what the user sees is what the fan follows.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "monitor/FanCurve.h"
#include "monitor/ViewTypes.h"

namespace vx::monitor {

class CLineChartCtrl {
public:
    static constexpr int kPointCount = FanCurve::kPointCount;
    using Points = FanCurve::Points;
    static constexpr Points kStartPoints = FanCurve::kStartPoints;
    static constexpr int32_t kHitRadius = 5;  // pixels around a point that grab it

    CLineChartCtrl() = default;
    // Holds a pointer into itself (or an attached store): not copyable.
    CLineChartCtrl(const CLineChartCtrl&) = delete;
    CLineChartCtrl& operator=(const CLineChartCtrl&) = delete;

    // Plot margins inside the client area, in pixels, and the room kept for axis labels.
    static constexpr int32_t kMarginLeft = 1, kMarginRight = 1, kMarginTop = 5, kMarginBottom = 1;
    static constexpr int32_t kYLabelRoom = 20, kRightRoom = 10, kXLabelRoom = 15;
    static constexpr double kAxisMin = 0.0, kAxisMax = 100.0;
    static constexpr int32_t kTickStep = 20;  // axis labels every 20 units

    static constexpr Rgb kCurveColour{29, 255, 255};
    static constexpr Rgb kBandColour{128, 128, 0};
    static constexpr int32_t kPointRadius = 2;

    /// Keeps the curves in `store` (the settings file's) instead of its own; it must outlive
    /// the control.
    void AttachCurves(FanCurves& store) { curves_ = &store; }
    /// Shows and edits GPU `gpu`'s curve; out-of-range indexes are ignored.
    void SelectGpu(int gpu);
    int selectedGpu() const { return gpu_; }
    /// GPU `gpu`'s curve, for the fan automation; the start curve past the slots.
    const FanCurve& curveOf(int gpu) const;

    const Points& points() const { return current().points; }
    void SetPoints(const Points& points) { current().points = points; }
    int32_t shape() const { return current().shape; }
    /// The double-click: zigzag becomes smooth, anything else zigzag.
    void OnDoubleClick() { current().shape = current().shape == kShapeZigzag ? kShapeSmooth : kShapeZigzag; }

    // Editing. Temperatures stay whole degrees in increasing order inside 0–100 °C, percents
    // inside the fan range band; a move asks for a place and gets the nearest allowed one.
    /// Moves point `index` towards `wanted`; false when nothing changed.
    bool MovePoint(int index, CurvePoint wanted);
    /// The point within kHitRadius pixels of `pixel`, nearest first; -1 when none.
    int PointAt(PixelPoint pixel) const;
    /// The whole curve value that maps onto `pixel` (the inverse of ToPixel where it is one).
    CurvePoint FromPixel(PixelPoint pixel) const;
    /// The point the keyboard moves; -1 when none.
    int selectedPoint() const { return selected_; }
    void SelectPoint(int index) { selected_ = index >= 0 && index < kPointCount ? index : -1; }
    /// Selects the next (step +1) or previous (-1) point, wrapping; from none, the first or last.
    void SelectNextPoint(int step);
    /// Moves the selected point by whole degrees and percents.
    bool MoveSelected(int32_t dx, int32_t dy);
    /// Back to the start points; the shape stays.
    void ResetCurve() { current().points = kStartPoints; }

    /// Where the card is now (temperature, fan percent), drawn over the curve; none hides it.
    void SetMarker(std::optional<CurvePoint> marker) { marker_ = marker; }
    const std::optional<CurvePoint>& marker() const { return marker_; }
    /// Where the marker goes, held on the plot's edge when the card is off the axes.
    std::optional<PixelPoint> MarkerMark() const;

    int32_t fanMin() const { return fanMin_; }
    int32_t fanMax() const { return fanMax_; }
    /// The selected GPU's fan level range in percent, shown as the dotted band.
    void SetFanRange(int32_t minimum, int32_t maximum) {
        fanMin_ = minimum;
        fanMax_ = maximum;
    }

    /// Recomputes the plot rectangle and the scales from the client rectangle (on resize).
    void Layout(const PixelRect& client);
    const PixelRect& plot() const { return plot_; }
    /// Axis units per pixel; infinite for an empty plot, where nothing is drawn.
    double xScale() const { return xScale_; }
    double yScale() const { return yScale_; }

    /// Where a curve point lands in the window; pixels truncate toward zero.
    PixelPoint ToPixel(const CurvePoint& point) const;
    /// The height of fan percent `percent` across the plot.
    int32_t BandY(int32_t percent) const;

    /// The two dotted lines of the fan range band: fanMin first, then fanMax.
    std::array<PixelLine, 2> RangeBand() const;
    /// The curve's lines in drawing order, for the current shape: from the plot's left edge to
    /// the first point, between the points (a step at the left point's height, then up or down,
    /// in zigzag), and from the last point to the right edge.
    std::vector<PixelLine> CurveLines() const;
    /// The centres of the point circles.
    std::array<PixelPoint, kPointCount> PointMarks() const;

    /// One axis label: its value and where it goes along the axis.
    struct Tick {
        int32_t value;
        int32_t pixel;
    };
    std::vector<Tick> XTicks() const;
    std::vector<Tick> YTicks() const;

private:
    FanCurve& current() { return (*curves_)[static_cast<std::size_t>(gpu_)]; }
    const FanCurve& current() const { return (*curves_)[static_cast<std::size_t>(gpu_)]; }

    FanCurves own_{};
    FanCurves* curves_ = &own_;
    int gpu_ = 0;
    int selected_ = -1;
    std::optional<CurvePoint> marker_;
    int32_t fanMin_ = 0;
    int32_t fanMax_ = 100;
    PixelRect plot_{};
    double xScale_ = 0.0;
    double yScale_ = 0.0;
};

}  // namespace vx::monitor
