#pragma once
// The fan curve control: draws a CLineChartCtrl (axes, the dotted fan range band, the curve in
// its shape, the point circles) and hands the double-click to it. The points cannot be moved.
#include <QWidget>

namespace vx::monitor { class CLineChartCtrl; }

namespace vx::qt {

class FanCurveView final : public QWidget {
    Q_OBJECT
public:
    explicit FanCurveView(QWidget* parent = nullptr);

    /// The model to draw; it must outlive the view or be replaced first. Null draws nothing.
    void SetCurve(monitor::CLineChartCtrl* curve);
    monitor::CLineChartCtrl* curve() const { return curve_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void LayoutCurve();

    monitor::CLineChartCtrl* curve_ = nullptr;
};

}  // namespace vx::qt
