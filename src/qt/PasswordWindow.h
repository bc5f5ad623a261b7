#pragma once
// "Change Password": renders app::CPasswordDlg and hands it the three hidden-input edits.
#include <QDialog>

#include "app/CPasswordDlg.h"

class QLineEdit;

namespace vx::qt {

class PasswordWindow final : public QDialog {
    Q_OBJECT
public:
    /// Opens `dialog` (OnInitDialog) and shows its controls.
    explicit PasswordWindow(app::CPasswordDlg& dialog, QWidget* parent = nullptr);

    QLineEdit* originalEdit() const { return original_; }
    QLineEdit* newEdit() const { return new_; }
    QLineEdit* confirmEdit() const { return confirm_; }

public slots:
    void accept() override;  // OK: the controller checks and stores, or stays open
    void reject() override;

private:
    QLineEdit* Edit();

    app::CPasswordDlg& dialog_;
    QLineEdit* original_ = nullptr;
    QLineEdit* new_ = nullptr;
    QLineEdit* confirm_ = nullptr;
};

}  // namespace vx::qt
