#include "qt/FanCurveView.h"

#include <QMouseEvent>
#include <QPainter>

#include "monitor/CLineChartCtrl.h"

namespace vx::qt {
namespace {

QColor ToColor(const monitor::Rgb& rgb) { return QColor(rgb.red, rgb.green, rgb.blue); }
QPoint ToPoint(const monitor::PixelPoint& p) { return QPoint(p.x, p.y); }
QLine ToLine(const monitor::PixelLine& line) { return QLine(ToPoint(line.from), ToPoint(line.to)); }

const QColor kAxisColour(124, 135, 152);
const QColor kLabelColour(174, 184, 200);
constexpr int kLabelPixelSize = 9;

}  // namespace

FanCurveView::FanCurveView(QWidget* parent) : QWidget(parent) {
    setObjectName("fanCurve");
    // The whole face is painted each time; nothing underneath needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 100);
}

void FanCurveView::SetCurve(monitor::CLineChartCtrl* curve) {
    curve_ = curve;
    LayoutCurve();
    update();
}

void FanCurveView::LayoutCurve() {
    if (curve_) curve_->Layout({0, 0, width(), height()});
}

void FanCurveView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutCurve();
}

void FanCurveView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (!curve_ || event->button() != Qt::LeftButton) return QWidget::mouseDoubleClickEvent(event);
    curve_->OnDoubleClick();
    update();  // the automation follows the new shape at its next sample
}

void FanCurveView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(16, 19, 24));
    if (!curve_) return;
    const monitor::PixelRect& plot = curve_->plot();
    if (plot.right <= plot.left || plot.bottom <= plot.top) return;  // too small to show anything

    // Axes and their labels.
    QFont labels = font();
    labels.setPixelSize(kLabelPixelSize);
    painter.setFont(labels);
    painter.setPen(QPen(kAxisColour, 1));
    painter.drawLine(plot.left, plot.top, plot.left, plot.bottom);
    painter.drawLine(plot.left, plot.bottom, plot.right, plot.bottom);
    painter.setPen(kLabelColour);
    const int room = monitor::CLineChartCtrl::kYLabelRoom;
    for (const auto& tick : curve_->YTicks()) {
        const QRect box(plot.left - room - 1, tick.pixel - kLabelPixelSize, room - 2, 2 * kLabelPixelSize);
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, QString::number(tick.value));
    }
    for (const auto& tick : curve_->XTicks()) {
        const QRect box(tick.pixel - room, plot.bottom + 1, 2 * room, monitor::CLineChartCtrl::kXLabelRoom);
        painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop, QString::number(tick.value));
    }

    // The fan range band.
    painter.setPen(QPen(ToColor(monitor::CLineChartCtrl::kBandColour), 1, Qt::DotLine));
    for (const monitor::PixelLine& line : curve_->RangeBand()) painter.drawLine(ToLine(line));

    // The curve and its points.
    const QColor curveColour = ToColor(monitor::CLineChartCtrl::kCurveColour);
    painter.setPen(QPen(curveColour, 1));
    for (const monitor::PixelLine& line : curve_->CurveLines()) painter.drawLine(ToLine(line));
    const int radius = monitor::CLineChartCtrl::kPointRadius;
    for (const monitor::PixelPoint& mark : curve_->PointMarks())
        painter.drawEllipse(ToPoint(mark), radius, radius);
}

}  // namespace vx::qt
