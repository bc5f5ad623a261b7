#pragma once
// The online update check's window: renders the CUpdateDlg model and forwards its buttons.
#include <QDialog>
#include <QFont>

#include <map>

#include "maintenance/CUpdateDlg.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace vx::platform {
class SettingsStore;
}
namespace vx::ui {
class IEventLoop;
}

namespace vx::qt {

class WaitProgressWindow;

class UpdateWindow final : public QDialog {
    Q_OBJECT
public:
    /// `model` must outlive the window; its OnInitDialog runs here.
    UpdateWindow(maintenance::CUpdateDlg& model, const QString& headingFamily, QWidget* parent = nullptr);

    /// Shows the model's state (the model calls it after every change).
    void Render();

protected:
    void paintEvent(QPaintEvent* event) override;
    void reject() override;

private:
    QLabel* AddLabel(int id, const QRect& where, bool heading = false);
    QPushButton* AddButton(int id, const QRect& where);

    maintenance::CUpdateDlg& model_;
    QFont heading_;
    std::map<int, QWidget*> controls_;
    QListWidget* list_ = nullptr;
    WaitProgressWindow* busy_ = nullptr;  // while the check downloads
};

/// The tray menu's "Update": runs the check's window modally. The server is the "UpdateServer"
/// setting when it holds an http or https address, else the maker's.
void RunUpdateDialog(const platform::SettingsStore& settings, ui::IEventLoop& loop,
                     const std::filesystem::path& cacheDir, const QString& headingFamily, QWidget* parent);

}  // namespace vx::qt
