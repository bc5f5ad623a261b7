#pragma once
// The fan curve control: draws a CLineChartCtrl (axes, the dotted fan range band, the curve in
// its shape, the point circles, the card's marker) and forwards the user's edits to it: a
// double-click switches the shape, a drag moves a point, Tab and the arrow keys select and
// move one, the context menu resets the curve.
#include <QWidget>

class QAction;

namespace vx::monitor { class CLineChartCtrl; }

namespace vx::qt {

class FanCurveView final : public QWidget {
    Q_OBJECT
public:
    explicit FanCurveView(QWidget* parent = nullptr);

    /// The model to draw; it must outlive the view or be replaced first. Null draws nothing.
    void SetCurve(monitor::CLineChartCtrl* curve);
    monitor::CLineChartCtrl* curve() const { return curve_; }
    /// "Reset curve": back to the start points.
    QAction* resetAction() const { return reset_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void LayoutCurve();

    monitor::CLineChartCtrl* curve_ = nullptr;
    QAction* reset_ = nullptr;
    int dragged_ = -1;  // the point under the mouse while a button is held
};

}  // namespace vx::qt
