#include "qt/HostWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/CMultiLangSupp.h"
#include "qt/Skin.h"

namespace vx::qt {
namespace {

const QColor kAccent(70, 160, 255);

QString Q(const char* text) { return QString::fromUtf8(text); }

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

// The face, resource 498 of the original host, is the skin image "img_498".
HostWindow::HostWindow(QWidget* parent)
    : TranslucentWindow(Skin::Instance().Pixmap("img_498", 1.0).toImage(), parent) {
    setWindowTitle(Q(app::Text(app::msg::kAppName)));
    setWindowIcon(AppIcon());
    setStyleSheet(
        "QLabel#caption { color: #46a0ff; font-size: 16px; font-weight: bold; background: transparent; }"
        "QPushButton#titleButton { color: #d8dee9; background: #2b313b; border: 1px solid #3b4452;"
        "  border-radius: 6px; padding: 2px 10px; font-size: 13px; }"
        "QPushButton#titleButton:hover { background: #36404d; border-color: #46a0ff; }");

    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(30, 20, 30, 30);  // inside the face's shadow
    layout_->setSpacing(10);
    layout_->addWidget(BuildTitleBar());
    CreateTrayIcon();
}

void HostWindow::SetContent(QWidget* content) { layout_->addWidget(content, 1); }

QWidget* HostWindow::BuildTitleBar() {
    auto* bar = new QWidget;
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    auto* caption = new QLabel(Q(app::Text(app::msg::kAppName)));
    caption->setObjectName("caption");
    row->addWidget(caption);
    row->addStretch();
    // Advanced control and profile windows.
    auto* profile = new QPushButton(Q("Profile"));
    profile->setObjectName("titleButton");
    connect(profile, &QPushButton::clicked, this, &HostWindow::profileRequested);
    auto* advanced = new QPushButton(Q("Advanced"));
    advanced->setObjectName("titleButton");
    advanced->setToolTip(Q("Advance Control"));
    connect(advanced, &QPushButton::clicked, this, &HostWindow::advancedRequested);
    row->addWidget(profile);
    row->addWidget(advanced);
    // End of advanced control and profile windows.
    auto* minimize = new QPushButton(Q("–"));
    minimize->setObjectName("titleButton");
    minimize->setToolTip(Q(app::Text(177)));  // "Minimize"
    connect(minimize, &QPushButton::clicked, this, &QWidget::showMinimized);
    auto* close = new QPushButton(Q("×"));
    close->setObjectName("titleButton");
    close->setToolTip(Q(app::Text(245)));  // "Hide"
    connect(close, &QPushButton::clicked, this, [this] {
        if (tray_)
            emit hideRequested();
        else
            emit quitRequested();
    });
    row->addWidget(minimize);
    row->addWidget(close);
    return bar;
}

void HostWindow::CreateTrayIcon() {
    // Offscreen and bare X servers have no tray; the window then stays the only way in.
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    tray_ = new QSystemTrayIcon(AppIcon(), this);
    tray_->setToolTip(Q(app::Text(app::msg::kAppName)));
    auto* menu = new QMenu(this);
    menu->addAction("Main Window", this, &HostWindow::showRequested);
    menu->addAction("Advance Control", this, &HostWindow::advancedRequested);  // advanced control window
    menu->addAction("Profile", this, &HostWindow::profileRequested);          // profile window
    menu->addAction(Q(app::Text(244)), this, &HostWindow::monitorRequested);  // "Monitors": history charts
    menu->addAction("Update", this, &HostWindow::updateRequested);  // online update check
    menu->addAction("Quit", this, &HostWindow::quitRequested);
    tray_->setContextMenu(menu);
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger) emit showRequested();
    });
    tray_->show();
}

void HostWindow::ShowMainWindow() {
    showNormal();
    raise();
    activateWindow();
}

void HostWindow::ShowOrHide(bool visible) {
    if (visible)
        ShowMainWindow();
    else if (tray_)
        hide();
    else
        showMinimized();
}

void HostWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
    TranslucentWindow::mousePressEvent(event);
}

void HostWindow::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) move(event->globalPosition().toPoint() - dragOffset_);
    TranslucentWindow::mouseMoveEvent(event);
}

}  // namespace vx::qt
