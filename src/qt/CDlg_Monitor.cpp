#include "qt/CDlg_Monitor.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <QVBoxLayout>

#include "app/CMultiLangSupp.h"
#include "monitor/MonitorLog.h"
#include "qt/ChartsHost.h"
#include "qt/CurveChartView.h"
#include "qt/SkinShape.h"

namespace vx::qt {
namespace {

constexpr int kTextMonitors = 244;
constexpr int kTextHide = 245;
constexpr int kTextClose = 246;
const char* const kLogToFile = "Log to file";
constexpr int kMinimumHeight = 60;
constexpr qreal kCornerRadius = 8;  // room for the menu hint when no series is shown

QString T(int row) { return QString::fromUtf8(app::Text(row)); }

}  // namespace

CDlg_Monitor::CDlg_Monitor(ChartsHost& host, std::unique_ptr<monitor::CNCVCurves> chart, QWidget* parent)
    : QWidget(parent, Qt::Window), host_(host), chart_(std::move(chart)) {
    setObjectName("monitorWindow");
    setWindowTitle(T(kTextMonitors));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    view_ = new CurveChartView(CurveChartView::Style::Strips);
    view_->SetChart(chart_.get());
    view_->setToolTip(QStringLiteral("Right-click: series, log to file, hide, close"));
    layout->addWidget(view_);
    setFixedSize(kPlotWidth, std::max(kMinimumHeight, static_cast<int>(chart_->ClientHeight())));
}

CDlg_Monitor::~CDlg_Monitor() {
    chart_->onSampled = nullptr;
    view_->SetChart(nullptr);
}

std::unique_ptr<QMenu> CDlg_Monitor::BuildMenu() {
    auto menu = std::make_unique<QMenu>();  // not a child: it may outlive a rebuilt window
    QMenu* series = menu->addMenu(T(kTextMonitors));
    const monitor::ChartHistory& history = host_.history();
    for (int s = 0; s < monitor::kChartSeries; ++s) {
        const auto index = static_cast<std::size_t>(s);
        QAction* item = series->addAction(T(monitor::kSeries[index].labelText));
        item->setCheckable(true);
        item->setChecked(history.show[index]);
        item->setEnabled(history.available[index]);
        item->setData(monitor::kSeries[index].menuCommand);
        connect(item, &QAction::triggered, this, [this, s] { host_.ToggleSeries(s); });
    }
    QAction* log = menu->addAction(kLogToFile);
    log->setCheckable(true);
    log->setChecked(host_.log().enabled());
    log->setData(monitor::MonitorLog::kLogCommand);
    connect(log, &QAction::triggered, this, [this] { host_.log().SetLogging(!host_.log().enabled()); });
    menu->addAction(T(kTextHide), this, &QWidget::hide)->setData(kHideCommand);
    menu->addAction(T(kTextClose), this, &CDlg_Monitor::CloseMonitor)->setData(kCloseCommand);
    return menu;
}

void CDlg_Monitor::CloseMonitor() {
    host_.log().CloseMonitor();
    hide();
}

void CDlg_Monitor::contextMenuEvent(QContextMenuEvent* event) {
    const std::unique_ptr<QMenu> menu = BuildMenu();
    menu->exec(event->globalPos());
}

QImage CDlg_Monitor::Background(QSize size) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawRoundedRect(QRectF(QPointF(0, 0), QSizeF(size)), kCornerRadius, kCornerRadius);
    return image;
}

void CDlg_Monitor::resizeEvent(QResizeEvent* event) {
    // A new height is a new background: the outline follows it, one pixel in from the left.
    ShapeWidget(*this, Background(size()), 1, 0);
    QWidget::resizeEvent(event);
}

void CDlg_Monitor::closeEvent(QCloseEvent* event) {
    // The title bar's close button is the menu's "Close": the window stays for the next open.
    event->ignore();
    CloseMonitor();
}

}  // namespace vx::qt
