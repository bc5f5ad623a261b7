#pragma once
// The profile dialog's window: renders tuning::CCVProfileDlg (SAVE and LOAD through the
// system's file dialogs) and, beneath, the ten profile slot buttons.
#include "tuning/CCVProfileDlg.h"

#include <QDialog>

#include <functional>
#include <vector>

class QPushButton;

namespace vx::qt {

class ProfileSlotBar;

/// SAVE and LOAD through Qt's file dialogs: filter "INI file(*.ini)", opening in the folder
/// given; SAVE adds the extension "ini" to a bare name, LOAD takes only an existing file.
tuning::ProfileFileDialogs SystemProfileFileDialogs(QWidget* parent);

class ProfileWindow final : public QDialog {
    Q_OBJECT
public:
    /// `dialog` and `profileSlots` must outlive the window. `onLoaded` runs after any load that
    /// moved the main window's models (a profile or a slot); it may be empty.
    ProfileWindow(tuning::CCVProfileDlg& dialog, tuning::ProfileSlots& profileSlots, std::function<void()> onLoaded = {},
                  QWidget* parent = nullptr);

    void Render();

private:
    void Forward(const std::function<void()>& action);

    tuning::CCVProfileDlg& dialog_;
    std::function<void()> onLoaded_;
    QPushButton* save_ = nullptr;
    QPushButton* load_ = nullptr;
    ProfileSlotBar* slotBar_ = nullptr;
};

/// The ten slot buttons, 0 to 9, in their plain or selected look; a press loads
/// "Profile/<n>.ini".
class ProfileSlotBar final : public QWidget {
    Q_OBJECT
public:
    explicit ProfileSlotBar(tuning::ProfileSlots& profileSlots, QWidget* parent = nullptr);
    void Render();

signals:
    /// A slot was pressed and its load has run (whether or not it applied anything).
    void slotPressed(int slot, bool loaded);

private:
    tuning::ProfileSlots& slots_;
    std::vector<QPushButton*> buttons_;
};

}  // namespace vx::qt
