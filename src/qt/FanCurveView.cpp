#include "qt/FanCurveView.h"

#include <QAction>
#include <QKeyEvent>
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
const QColor kSelectedColour(255, 255, 255);
const QColor kMarkerColour(255, 96, 64);
constexpr int kLabelPixelSize = 9;
constexpr int kMarkerRadius = 4;
constexpr int32_t kLargeKeyStep = 5;  // with Shift held

}  // namespace

FanCurveView::FanCurveView(QWidget* parent) : QWidget(parent) {
    setObjectName("fanCurve");
    // The whole face is painted each time; nothing underneath needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 100);
    setFocusPolicy(Qt::StrongFocus);
    reset_ = new QAction(tr("Reset curve"), this);
    reset_->setObjectName("resetCurve");
    connect(reset_, &QAction::triggered, this, [this] {
        if (!curve_) return;
        curve_->ResetCurve();
        update();
    });
    addAction(reset_);
    setContextMenuPolicy(Qt::ActionsContextMenu);
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

void FanCurveView::mousePressEvent(QMouseEvent* event) {
    if (!curve_ || event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    dragged_ = curve_->PointAt({event->position().toPoint().x(), event->position().toPoint().y()});
    curve_->SelectPoint(dragged_);
    update();
}

void FanCurveView::mouseMoveEvent(QMouseEvent* event) {
    if (!curve_ || dragged_ < 0) return QWidget::mouseMoveEvent(event);
    const QPoint at = event->position().toPoint();
    if (curve_->MovePoint(dragged_, curve_->FromPixel({at.x(), at.y()}))) update();
}

void FanCurveView::mouseReleaseEvent(QMouseEvent* event) {
    dragged_ = -1;
    QWidget::mouseReleaseEvent(event);
}

void FanCurveView::keyPressEvent(QKeyEvent* event) {
    if (!curve_) return QWidget::keyPressEvent(event);
    const int32_t step = event->modifiers() & Qt::ShiftModifier ? kLargeKeyStep : 1;
    int32_t dx = 0, dy = 0;
    switch (event->key()) {
    case Qt::Key_Left: dx = -step; break;
    case Qt::Key_Right: dx = step; break;
    case Qt::Key_Up: dy = step; break;
    case Qt::Key_Down: dy = -step; break;
    default: return QWidget::keyPressEvent(event);
    }
    // Without a selected point the arrows pick one first.
    if (curve_->selectedPoint() < 0)
        curve_->SelectNextPoint(dx < 0 || dy < 0 ? -1 : +1);
    else
        curve_->MoveSelected(dx, dy);
    update();
}

bool FanCurveView::focusNextPrevChild(bool next) {
    // Tab walks the points, then leaves the control, so the keyboard is never trapped here.
    if (curve_) {
        const int selected = curve_->selectedPoint();
        const int last = monitor::CLineChartCtrl::kPointCount - 1;
        if (next ? selected < last : selected != 0) {
            curve_->SelectNextPoint(next ? +1 : -1);
            update();
            return true;
        }
        curve_->SelectPoint(-1);
        update();
    }
    return QWidget::focusNextPrevChild(next);
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
    const auto marks = curve_->PointMarks();
    for (const monitor::PixelPoint& mark : marks) painter.drawEllipse(ToPoint(mark), radius, radius);
    if (const int selected = curve_->selectedPoint(); selected >= 0) {
        painter.setPen(QPen(kSelectedColour, 1));
        painter.drawEllipse(ToPoint(marks[static_cast<std::size_t>(selected)]), radius + 2, radius + 2);
    }

    // Where the card is now.
    if (const auto marker = curve_->MarkerMark()) {
        painter.setPen(QPen(kMarkerColour, 1));
        painter.setBrush(kMarkerColour);
        painter.drawEllipse(ToPoint(*marker), kMarkerRadius, kMarkerRadius);
        painter.setBrush(Qt::NoBrush);
    }
}

}  // namespace vx::qt
