#include "qt/HostWindow.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/CMultiLangSupp.h"

namespace vx::qt {
namespace {

constexpr int kCornerRadius = 14;
const QColor kPanel(24, 27, 33, 235);
const QColor kEdge(70, 160, 255, 180);
const QColor kAccent(70, 160, 255);

QString Q(const char* text) { return QString::fromUtf8(text); }
QString Q(const std::string& text) { return QString::fromStdString(text); }

QLabel* MakeLabel(const QString& text, const char* objectName) {
    auto* label = new QLabel(text);
    label->setObjectName(objectName);
    return label;
}

}  // namespace

QIcon AppIcon() {
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(24, 27, 33));
    p.setPen(QPen(kAccent, 4));
    p.drawRoundedRect(QRectF(4, 4, 56, 56), 12, 12);
    p.setPen(QPen(kAccent, 7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(17, 20), QPointF(32, 46), QPointF(47, 20)}));
    return QIcon(pixmap);
}

HostWindow::HostWindow(const app::SystemSummary& summary, QWidget* parent) : QWidget(parent) {
    setWindowTitle(Q(app::Text(app::msg::kAppName)));
    setWindowIcon(AppIcon());
    setWindowFlag(Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setStyleSheet(
        "QLabel { color: #d8dee9; font-size: 13px; }"
        "QLabel#caption { color: #46a0ff; font-size: 16px; font-weight: bold; }"
        "QLabel#gpuName { color: #ffffff; font-size: 14px; font-weight: bold; }"
        "QLabel#key { color: #8a94a6; }"
        "QPushButton { color: #d8dee9; background: #2b313b; border: 1px solid #3b4452;"
        "  border-radius: 6px; padding: 2px 10px; }"
        "QPushButton:hover { background: #36404d; }");

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 12, 18, 18);
    layout->addWidget(BuildTitleBar());
    layout->addWidget(BuildMainDialog(summary));
    setMinimumWidth(460);
    CreateTrayIcon();
}

QWidget* HostWindow::BuildTitleBar() {
    auto* bar = new QWidget;
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(MakeLabel(Q(app::Text(app::msg::kAppName)), "caption"));
    row->addStretch();
    auto* minimize = new QPushButton(Q("–"));
    minimize->setToolTip(Q(app::Text(177)));  // "Minimize"
    connect(minimize, &QPushButton::clicked, this, &QWidget::showMinimized);
    auto* close = new QPushButton(Q("×"));
    close->setToolTip(Q(app::Text(245)));  // "Hide"
    connect(close, &QPushButton::clicked, this, &HostWindow::HideOrQuit);
    row->addWidget(minimize);
    row->addWidget(close);
    return bar;
}

QWidget* HostWindow::BuildMainDialog(const app::SystemSummary& summary) {
    auto* dialog = new QWidget;
    dialog->setObjectName("mainDialog");
    auto* grid = new QGridLayout(dialog);
    grid->setContentsMargins(0, 10, 0, 0);
    grid->setVerticalSpacing(6);
    int row = 0;
    grid->addWidget(MakeLabel(Q(app::Text(105)), "key"), row, 0);  // "Driver Version"
    grid->addWidget(MakeLabel(Q(summary.driverVersionText.empty() ? "-" : summary.driverVersionText), "value"),
                    row++, 1);
    grid->addWidget(MakeLabel(Q(app::Text(222)), "key"), row, 0);  // "Memory Size"
    grid->addWidget(MakeLabel(QString("%1 MB").arg(summary.dedicatedMemoryMb), "value"), row++, 1);
    if (summary.gpus.empty())
        grid->addWidget(MakeLabel(Q(app::Text(app::msg::kInitHardwareFailed)), "value"), row++, 0, 1, 2);
    for (const app::GpuSummary& gpu : summary.gpus) {
        grid->addWidget(MakeLabel(QString("GPU%1  %2").arg(gpu.index).arg(Q(gpu.name)), "gpuName"), row++, 0, 1, 2);
        grid->addWidget(MakeLabel(Q(app::Text(100)), "key"), row, 0);  // "GPU ID"
        grid->addWidget(MakeLabel(Q(gpu.deviceIdText), "value"), row++, 1);
    }
    grid->setColumnStretch(1, 1);
    return dialog;
}

void HostWindow::CreateTrayIcon() {
    // Offscreen and bare X servers have no tray; the window then stays the only way in.
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    tray_ = new QSystemTrayIcon(AppIcon(), this);
    tray_->setToolTip(Q(app::Text(app::msg::kAppName)));
    auto* menu = new QMenu(this);
    menu->addAction("Main Window", this, &HostWindow::ShowMainWindow);
    menu->addAction("Quit", this, &HostWindow::quitRequested);
    tray_->setContextMenu(menu);
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger) ShowMainWindow();
    });
    tray_->show();
}

void HostWindow::ShowMainWindow() {
    showNormal();
    raise();
    activateWindow();
}

bool HostWindow::StartInTray() {
    if (!tray_) return false;
    hide();
    return true;
}

void HostWindow::HideOrQuit() {
    if (tray_) hide();
    else emit quitRequested();
}

void HostWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), kCornerRadius, kCornerRadius);
    p.fillPath(path, kPanel);
    p.setPen(QPen(kEdge, 1.5));
    p.drawPath(path);
}

void HostWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void HostWindow::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) move(event->globalPosition().toPoint() - dragOffset_);
}

}  // namespace vx::qt
