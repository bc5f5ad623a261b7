#pragma once
// The temperature alarm's window: the model's caption and text over an "OK" button.
#include <QDialog>

namespace vx::monitor { class CIndicateInstDialog; }

namespace vx::qt {

class AlarmWindow final : public QDialog {
    Q_OBJECT
public:
    explicit AlarmWindow(const monitor::CIndicateInstDialog& model, QWidget* parent = nullptr);

    /// Shows `model` modally; returns when the user closed the window or the program quits.
    static void ShowModal(const monitor::CIndicateInstDialog& model, QWidget* parent);
};

}  // namespace vx::qt
