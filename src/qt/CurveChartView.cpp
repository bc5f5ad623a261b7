#include "qt/CurveChartView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>

#include <algorithm>

#include "monitor/CurveChart.h"

namespace vx::qt {
namespace {

using monitor::CurveChart;

QColor ToColor(const monitor::Rgb& rgb) { return QColor(rgb.red, rgb.green, rgb.blue); }

const QColor kFace(16, 19, 24);
const QColor kGrid(44, 52, 64);
const QColor kStripEdge(60, 70, 86);
const QColor kText(235, 238, 243);
const QColor kHoverFace(32, 38, 48, 230);
constexpr int kLegendX = 40;
constexpr int kNumbersX = 150;
constexpr int kNumberStep = 20;
constexpr int kNumberGap = 8;
constexpr int kLegendBandTop = 2;
constexpr int kLegendBandBottom = 30;
constexpr int kValueRowTop = 23;
constexpr int kValueRowStep = 20;
constexpr int kColourBox = 6;
constexpr int kHoverLeft = 25;
constexpr int kHoverRight = 75;
constexpr int kHoverHeight = 16;
constexpr int kTextPixelSize = 11;
constexpr int kGridLines = 4;
constexpr int kValueSpill = 44;  // the value text stands left of its colour box

}  // namespace

CurveChartView::CurveChartView(Style style, QWidget* parent) : QWidget(parent), style_(style) {
    setObjectName(style == Style::Strips ? "historyChart" : "historySparkline");
    // The strips paint their whole face; the compact curves lie on their tile.
    setAttribute(Qt::WA_OpaquePaintEvent, style == Style::Strips);
    setMouseTracking(style == Style::Strips);
}

void CurveChartView::SetChart(const monitor::CurveChart* chart) {
    chart_ = chart;
    update();
}

void CurveChartView::SetHoverX(int x) {
    hoverX_ = x;
    update();
}

void CurveChartView::mouseMoveEvent(QMouseEvent* event) { SetHoverX(event->position().toPoint().x()); }

void CurveChartView::leaveEvent(QEvent*) { SetHoverX(-1); }

void CurveChartView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (style_ == Style::Strips) painter.fillRect(rect(), kFace);
    if (!chart_) return;
    QFont text = font();
    text.setPixelSize(kTextPixelSize);
    painter.setFont(text);
    const std::vector<int> shown = chart_->enabledSeries();
    if (style_ == Style::Compact) {
        // The model's strip geometry, stretched to whatever height the tile gives the chart.
        painter.scale(1.0, static_cast<double>(height()) / chart_->ClientHeight());
    }
    for (std::size_t strip = 0; strip < shown.size(); ++strip) {
        PaintStrip(painter, static_cast<int>(strip), shown[strip]);
        if (style_ == Style::Strips) PaintLegend(painter, static_cast<int>(strip), shown[strip]);
    }
}

void CurveChartView::PaintStrip(QPainter& painter, int strip, int series) {
    const int32_t w = width();
    const int32_t h = style_ == Style::Compact ? chart_->ClientHeight() : height();
    const int32_t bottom = chart_->BandBottom(strip, h);
    if (style_ == Style::Strips) {
        painter.setPen(QPen(kStripEdge, 1));
        if (strip > 0) painter.drawLine(0, strip * CurveChart::kStripHeight, w, strip * CurveChart::kStripHeight);
        painter.setPen(QPen(kGrid, 1, Qt::DotLine));
        for (int k = 0; k <= kGridLines; ++k) {
            const int y = bottom - k * CurveChart::kBandHeight / kGridLines;
            painter.drawLine(CurveChart::kLeftLimit, y, w - CurveChart::kNewestGap, y);
        }
    }
    for (int gpu = monitor::kChartGpus - 1; gpu >= 0; --gpu) {  // GPU 1 on top
        if (!chart_->bound(series, gpu)) continue;
        const auto points = chart_->Curve(gpu, series, w, h);
        QPen pen(ToColor(monitor::kCurveColours[static_cast<std::size_t>(gpu)]), style_ == Style::Compact ? 1.5 : 1);
        pen.setCosmetic(true);
        painter.setPen(pen);
        // One polyline per stretch between lifts of the pen: far cheaper to stroke than a path.
        QPolygon run;
        for (const monitor::HistoryPoint& p : points) {
            if (p.startsLine && !run.isEmpty()) {
                painter.drawPolyline(run);
                run.clear();
            }
            run << QPoint(p.at.x, p.at.y);
        }
        if (!run.isEmpty()) painter.drawPolyline(run);
        if (style_ == Style::Compact || hoverX_ < 0) continue;
        for (const monitor::HistoryPoint& p : points) {
            if (p.at.x != hoverX_) continue;
            const QRect box(p.at.x - kHoverLeft, p.at.y - kHoverHeight - 2, kHoverLeft + kHoverRight, kHoverHeight);
            painter.fillRect(box, kHoverFace);
            painter.setPen(pen.color());
            painter.drawRect(box);
            painter.drawText(box, Qt::AlignCenter,
                             QString::number(p.value) + QString::fromStdString(chart_->unit(series, gpu)));
        }
    }
}

void CurveChartView::PaintLegend(QPainter& painter, int strip, int series) {
    const int top = CurveChart::kStripHeight * strip;
    const int gpuForUnit = [&] {
        for (int g = 0; g < monitor::kChartGpus; ++g)
            if (chart_->bound(series, g)) return g;
        return 0;
    }();
    painter.setPen(kText);
    const QString label = QString::fromStdString(chart_->label(series)) + "(" +
                          QString::fromStdString(chart_->unit(series, gpuForUnit)) + "):";
    painter.drawText(QRect(kLegendX, top + kLegendBandTop, width() - kLegendX, kLegendBandBottom - kLegendBandTop),
                     Qt::AlignLeft | Qt::AlignVCenter, label);
    // A long label pushes the GPU numbers right rather than running into them.
    const int numbersX = std::max(kNumbersX, kLegendX + painter.fontMetrics().horizontalAdvance(label) + kNumberGap);
    int row = 0;
    for (int gpu = 0; gpu < monitor::kChartGpus; ++gpu) {
        if (!chart_->gpuBound(gpu)) continue;
        const QColor colour = ToColor(monitor::kCurveColours[static_cast<std::size_t>(gpu)]);
        painter.setPen(colour);
        painter.drawText(QRect(numbersX + kNumberStep * gpu, top + kLegendBandTop, kNumberStep,
                               kLegendBandBottom - kLegendBandTop),
                         Qt::AlignLeft | Qt::AlignVCenter, QString::number(gpu + 1));
        // The newest value at the right edge, one row per GPU.
        const int y = top + kValueRowTop + kValueRowStep * row++;
        const int x = width() - CurveChart::kNewestGap + 2;
        painter.fillRect(QRect(x, y, kColourBox, kColourBox), colour);
        if (const auto value = chart_->NewestValue(gpu, series))
            painter.drawText(QRect(x - kValueSpill, y - 4, kValueSpill - 2, kValueRowStep - 6),
                             Qt::AlignRight | Qt::AlignVCenter, QString::number(*value) + " ");
    }
}

}  // namespace vx::qt
