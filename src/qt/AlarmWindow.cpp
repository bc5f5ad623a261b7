#include "qt/AlarmWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/CMultiLangSupp.h"
#include "monitor/CIndicateInstDialog.h"

namespace vx::qt {
namespace {

constexpr int kTextOk = 51;

const char* const kStyle =
    "QDialog { background: #1c2129; }"
    "QLabel#alarmText { color: #ff5050; font-size: 15px; font-weight: bold; }"
    "QPushButton { color: #e6ecf5; background: #2e3542; border: 1px solid #46a0ff; border-radius: 4px;"
    " padding: 5px 22px; }";

}  // namespace

AlarmWindow::AlarmWindow(const monitor::CIndicateInstDialog& model, QWidget* parent) : QDialog(parent) {
    setObjectName("alarmWindow");
    setStyleSheet(kStyle);
    setModal(true);
    setWindowTitle(QString::fromStdString(model.caption()));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 16);
    layout->setSpacing(16);
    // The message ends with a line break; the window shows it without the empty line.
    auto* text = new QLabel(QString::fromStdString(model.text()).trimmed());
    text->setObjectName("alarmText");
    text->setAlignment(Qt::AlignCenter);
    layout->addWidget(text);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    auto* ok = new QPushButton(QString::fromUtf8(app::Text(kTextOk)));
    ok->setObjectName("alarmOk");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    row->addWidget(ok);
    row->addStretch(1);
    layout->addLayout(row);
}

void AlarmWindow::ShowModal(const monitor::CIndicateInstDialog& model, QWidget* parent) {
    AlarmWindow window(model, parent);
    window.exec();
}

}  // namespace vx::qt
