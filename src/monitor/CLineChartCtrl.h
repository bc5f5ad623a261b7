#pragma once
// The fan curve control of the main window: five (temperature, fan percent) points drawn as a
// smooth or a stepped curve over the current GPU's allowed fan range. The fan automation reads
// the same points and shape, so what the user sees is what the fan follows.
#include <array>
#include <cstdint>
#include <vector>

#include "monitor/ViewTypes.h"

namespace vx::monitor {

/// One curve point: x = temperature in °C, y = fan percent.
struct CurvePoint {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const CurvePoint&) const = default;
};

enum CurveShape : int32_t { kShapeSmooth = 0, kShapeZigzag = 1 };

class CLineChartCtrl {
public:
    static constexpr int kPointCount = 5;
    using Points = std::array<CurvePoint, kPointCount>;
    /// The curve every run starts with: the points are not saved.
    static constexpr Points kStartPoints = {{{20, 20}, {40, 40}, {60, 60}, {80, 80}, {100, 100}}};

    // Plot margins inside the client area, in pixels, and the room kept for axis labels.
    static constexpr int32_t kMarginLeft = 1, kMarginRight = 1, kMarginTop = 5, kMarginBottom = 1;
    static constexpr int32_t kYLabelRoom = 20, kRightRoom = 10, kXLabelRoom = 15;
    static constexpr double kAxisMin = 0.0, kAxisMax = 100.0;
    static constexpr int32_t kTickStep = 20;  // axis labels every 20 units

    static constexpr Rgb kCurveColour{29, 255, 255};
    static constexpr Rgb kBandColour{128, 128, 0};
    static constexpr int32_t kPointRadius = 2;

    const Points& points() const { return points_; }
    void SetPoints(const Points& points) { points_ = points; }
    int32_t shape() const { return shape_; }
    /// The double-click: zigzag becomes smooth, anything else zigzag.
    void OnDoubleClick() { shape_ = shape_ == kShapeZigzag ? kShapeSmooth : kShapeZigzag; }

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
    Points points_ = kStartPoints;
    int32_t shape_ = kShapeZigzag;
    int32_t fanMin_ = 0;
    int32_t fanMax_ = 100;
    PixelRect plot_{};
    double xScale_ = 0.0;
    double yScale_ = 0.0;
};

}  // namespace vx::monitor
