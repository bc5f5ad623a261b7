#include "qt/QtPrompts.h"

#include <QMessageBox>

namespace vx::qt {
namespace {

QMessageBox::Icon ToQtIcon(ui::BoxIcon icon) {
    switch (icon) {
    case ui::BoxIcon::Error: return QMessageBox::Critical;
    case ui::BoxIcon::Warning: return QMessageBox::Warning;
    case ui::BoxIcon::Question: return QMessageBox::Question;
    case ui::BoxIcon::Information: return QMessageBox::Information;
    case ui::BoxIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToQtButtons(ui::BoxButtons buttons) {
    switch (buttons) {
    case ui::BoxButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case ui::BoxButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case ui::BoxButtons::Ok: break;
    }
    return QMessageBox::Ok;
}

ui::BoxAnswer FromQtButton(int button) {
    switch (button) {
    case QMessageBox::Cancel: return ui::BoxAnswer::Cancel;
    case QMessageBox::Yes: return ui::BoxAnswer::Yes;
    case QMessageBox::No: return ui::BoxAnswer::No;
    default: return ui::BoxAnswer::Ok;
    }
}

}  // namespace

ui::BoxAnswer QtPrompts::MessageBox(const std::string& text, const std::string& caption, ui::BoxIcon icon,
                                    ui::BoxButtons buttons) {
    QMessageBox box(ToQtIcon(icon), QString::fromStdString(caption), QString::fromStdString(text),
                    ToQtButtons(buttons));
    return FromQtButton(box.exec());
}

}  // namespace vx::qt
