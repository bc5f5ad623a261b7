#pragma once
// Draws a history chart model: per enabled series a 90-pixel strip with its legend, one curve
// per GPU in its colour, the newest values at the right and the value under the cursor. The
// compact style draws the curves only, stretched to the widget's height (the main window's
// small charts).
#include <QWidget>

namespace vx::monitor {
class CurveChart;
}

namespace vx::qt {

class CurveChartView final : public QWidget {
    Q_OBJECT
public:
    enum class Style { Strips, Compact };
    explicit CurveChartView(Style style, QWidget* parent = nullptr);
    /// `chart` must outlive the view or be replaced first; null shows an empty face.
    void SetChart(const monitor::CurveChart* chart);
    const monitor::CurveChart* chart() const { return chart_; }
    /// The hover position in chart pixels (tests); -1 when the cursor is away.
    void SetHoverX(int x);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void PaintStrip(class QPainter& painter, int strip, int series);
    void PaintLegend(QPainter& painter, int strip, int series);

    Style style_;
    const monitor::CurveChart* chart_ = nullptr;
    int hoverX_ = -1;
};

}  // namespace vx::qt
