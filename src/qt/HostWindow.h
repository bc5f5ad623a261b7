#pragma once
// The translucent host window with the main dialog inside, and its notification-area icon.
#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>

#include "app/GpuSummary.h"

class QLabel;
class QVBoxLayout;

namespace vx::qt {

class HostWindow final : public QWidget {
    Q_OBJECT
public:
    explicit HostWindow(const app::SystemSummary& summary, QWidget* parent = nullptr);

    /// "Main Window": shows the host again and brings it to the front.
    void ShowMainWindow();
    /// Starts hidden with only the notification-area icon; false when there is no tray.
    bool StartInTray();
    bool HasTrayIcon() const { return tray_ != nullptr; }

signals:
    void quitRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QWidget* BuildTitleBar();
    QWidget* BuildMainDialog(const app::SystemSummary& summary);
    void CreateTrayIcon();
    void HideOrQuit();

    QPointer<QSystemTrayIcon> tray_;
    QPoint dragOffset_;
};

/// The program's icon, drawn rather than shipped.
QIcon AppIcon();

}  // namespace vx::qt
