#include "qt/PasswordWindow.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "remote/AccessPassword.h"

namespace vx::qt {

PasswordWindow::PasswordWindow(app::CPasswordDlg& dialog, QWidget* parent) : QDialog(parent), dialog_(dialog) {
    dialog_.OnInitDialog();
    app::PasswordDialogControls& c = dialog_.Controls();
    setWindowTitle(QString::fromStdString(c.caption));
    auto* group = new QGroupBox(QString::fromStdString(c.group.text), this);
    auto* form = new QFormLayout(group);
    original_ = Edit();
    new_ = Edit();
    confirm_ = Edit();
    form->addRow(QString::fromStdString(c.originalLabel.text), original_);
    form->addRow(QString::fromStdString(c.newLabel.text), new_);
    form->addRow(QString::fromStdString(c.confirmLabel.text), confirm_);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QString::fromStdString(c.ok.text), QDialogButtonBox::AcceptRole);
    buttons->addButton(QString::fromStdString(c.cancel.text), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &PasswordWindow::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PasswordWindow::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(buttons);
}

QLineEdit* PasswordWindow::Edit() {
    auto* edit = new QLineEdit(this);
    edit->setEchoMode(QLineEdit::Password);
    edit->setMaxLength(static_cast<int>(remote::kMaxPasswordEditChars));
    return edit;
}

void PasswordWindow::accept() {
    app::PasswordDialogControls& c = dialog_.Controls();
    // Single-byte text as the phone types it; other characters cannot be part of a number anyway.
    c.original = original_->text().toLatin1().toStdString();
    c.newPassword = new_->text().toLatin1().toStdString();
    c.confirm = confirm_->text().toLatin1().toStdString();
    dialog_.OnOK();
    if (dialog_.state() == app::CPasswordDlg::State::Accepted) QDialog::accept();
}

void PasswordWindow::reject() {
    dialog_.OnCancel();
    QDialog::reject();
}

}  // namespace vx::qt
