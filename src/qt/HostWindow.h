#pragma once
// The translucent host window around the main window: its face image (soft shadow, rounded
// and partly transparent edges) with its own title bar, and the notification-area icon.
#include <QPointer>
#include <QSystemTrayIcon>

#include "qt/TranslucentWindow.h"

class QVBoxLayout;

namespace vx::qt {

class HostWindow final : public TranslucentWindow {
    Q_OBJECT
public:
    explicit HostWindow(QWidget* parent = nullptr);

    /// Puts the main window inside; the host owns it from then on.
    void SetContent(QWidget* content);
    /// "Main Window": shows the host again and brings it to the front.
    void ShowMainWindow();
    /// Hide: into the notification area, or minimized where there is none, so the window
    /// always stays reachable.
    void ShowOrHide(bool visible);
    bool HasTrayIcon() const { return tray_ != nullptr; }

signals:
    /// The tray menu's "Main Window" or a click on the icon.
    void showRequested();
    /// The title bar's close button where a tray icon can bring the window back.
    void hideRequested();
    /// The tray menu's "Quit", or the close button without a tray.
    void quitRequested();
    // Advanced control and profile windows.
    /// The title bar's "Advanced" button or the tray menu's "Advance Control".
    void advancedRequested();
    /// The title bar's "Profile" button or the tray menu's "Profile".
    void profileRequested();
    // End of advanced control and profile windows.
    /// The tray menu's "Monitors": the history charts' window.
    void monitorRequested();
    /// The tray menu's "Update": the online update check.
    void updateRequested();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QWidget* BuildTitleBar();
    void CreateTrayIcon();

    QVBoxLayout* layout_ = nullptr;
    QPointer<QSystemTrayIcon> tray_;
    QPoint dragOffset_;
};

/// The program's icon, drawn rather than shipped.
QIcon AppIcon();

}  // namespace vx::qt
