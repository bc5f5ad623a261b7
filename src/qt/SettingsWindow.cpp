#include "qt/SettingsWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <tuple>

#include "qt/HostWindow.h"
#include "qt/Skin.h"

namespace vx::qt {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

const char* const kStyle =
    "QDialog { background: #161a20; }"
    "QFrame#group { background: #1c2129; border: 1px solid #2e3542; border-radius: 8px; }"
    "QLabel { color: #d8dee9; font-size: 12px; background: transparent; }"
    "QLabel#groupTitle { color: #46a0ff; font-weight: bold; }"
    "QCheckBox, QRadioButton { color: #d8dee9; font-size: 12px; spacing: 6px; background: transparent; }"
    "QCheckBox:disabled, QRadioButton:disabled, QLabel:disabled { color: #5d6675; }"
    "QCheckBox::indicator, QRadioButton::indicator { width: 14px; height: 14px; border: 1px solid #56627a;"
    "  background: #20252d; }"
    "QCheckBox::indicator { border-radius: 3px; }"
    "QRadioButton::indicator { border-radius: 8px; }"
    "QCheckBox::indicator:hover, QRadioButton::indicator:hover { border-color: #46a0ff; }"
    "QCheckBox::indicator:checked { background: #46a0ff; border-color: #7cc0ff; }"
    "QRadioButton::indicator:checked { border-color: #7cc0ff; background: qradialgradient(cx: 0.5, cy: 0.5,"
    "  radius: 0.5, fx: 0.5, fy: 0.5, stop: 0 #ffffff, stop: 0.4 #ffffff, stop: 0.5 #46a0ff, stop: 1 #46a0ff); }"
    "QCheckBox::indicator:disabled, QRadioButton::indicator:disabled { border-color: #353c48; background: #1a1e24; }"
    "QComboBox { color: #e6ecf5; background: #2b313b; border: 1px solid #3b4452; border-radius: 5px;"
    "  padding: 2px 8px; min-width: 64px; }"
    "QComboBox:disabled { color: #5d6675; background: #20252c; }"
    "QComboBox QAbstractItemView { color: #e6ecf5; background: #2b313b; selection-background-color: #1f4e80; }"
    "QPushButton { color: #e6ecf5; background: #2b313b; border: 1px solid #3b4452; border-radius: 6px;"
    "  padding: 5px 18px; }"
    "QPushButton:hover { border-color: #46a0ff; }"
    "QPushButton#ok { background: #2f7fd6; border-color: #7cc0ff; }";

// Check boxes drawn with the skin's own boxes, like the main window's.
QString CheckBoxImages() {
    const QString dir = QString::fromStdString(Skin::Instance().directory().string());
    QString style;
    for (const auto& [state, image] :
         {std::pair{"", "check"}, std::pair{":hover", "check_hover"}, std::pair{":checked", "check_checked"}}) {
        const QString file = dir + "/" + image + ".png";
        if (QFileInfo::exists(file))
            style += QString(
                         "QCheckBox::indicator%1 { width: 18px; height: 18px; border: none; background: transparent;"
                         " image: url(%2); }")
                         .arg(state, file);
    }
    return style;
}

}  // namespace

SettingsWindow::SettingsWindow(app::CSetDialog& dialog, QWidget* parent, DisplayToolActions tools)
    : QDialog(parent), dialog_(dialog) {
    dialog_.OnInitDialog();
    app::SetDialogControls& c = dialog_.Controls();
    setWindowTitle(Q(c.caption));
    setWindowIcon(AppIcon());
    setStyleSheet(QString(kStyle) + CheckBoxImages());

    auto* columns = new QHBoxLayout;
    columns->setSpacing(12);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    left->setSpacing(12);
    right->setSpacing(12);

    QVBoxLayout* body = nullptr;
    left->addWidget(Group(c.startupGroup, body));
    for (int i = 0; i < static_cast<int>(c.startup.size()); ++i) {
        auto* radio = new QRadioButton;
        radio->setObjectName(QString("startup%1").arg(i));
        radio->setAutoExclusive(false);  // the controller keeps exactly one checked
        connect(radio, &QRadioButton::clicked, this,
                [this, i] { Forward([this, i] { dialog_.SelectStartupOption(i); }); });
        body->addWidget(radio);
        startup_.push_back(radio);
    }
    left->addWidget(Group(c.saveGroup, body));
    body->addWidget(Check(c.restoreUserSettings));
    left->addWidget(Group(c.curveGroup, body));
    body->addWidget(Check(c.curveDrawing));
    body->addWidget(LabelledList(c.samplingLabel, c.samplingPeriod));
    left->addWidget(Group(c.autoUpdateGroup, body));
    body->addWidget(Check(c.autoUpdate));
    body->addWidget(Check(c.hdmiAutoSet));
    left->addStretch(1);

    right->addWidget(Group(c.fanGroup, body));
    body->addWidget(Check(c.fanTempSet));
    body->addWidget(Check(c.customMode, [this](bool on) { dialog_.SetCustomMode(on); }));
    body->addWidget(Check(c.silentMode, [this](bool on) { dialog_.SetSilentMode(on); }));
    body->addWidget(Check(c.performanceMode, [this](bool on) { dialog_.SetPerformanceMode(on); }));
    auto* custom = new QWidget;
    auto* grid = new QGridLayout(custom);
    grid->setContentsMargins(18, 0, 0, 0);
    grid->addWidget(LabelledList(c.tempLowLabel, c.tempLow), 0, 0);
    grid->addWidget(LabelledList(c.fanLowLabel, c.fanLow), 0, 1);
    grid->addWidget(LabelledList(c.tempOverLabel, c.tempOver), 1, 0);
    grid->addWidget(LabelledList(c.fanHighLabel, c.fanHigh), 1, 1);
    body->addWidget(custom);
    auto* calm = new QWidget;
    auto* calmRow = new QHBoxLayout(calm);
    calmRow->setContentsMargins(0, 0, 0, 0);
    calmRow->addWidget(LabelledList(c.curveHysteresisLabel, c.curveHysteresis));
    calmRow->addWidget(LabelledList(c.curveSpinDownLabel, c.curveSpinDown));
    body->addWidget(calm);
    body->addWidget(Check(c.fanSpeedTest));
    auto* alarm = new QWidget;
    auto* alarmRow = new QHBoxLayout(alarm);
    alarmRow->setContentsMargins(0, 0, 0, 0);
    alarmRow->addWidget(Check(c.temperatureAlarm, [this](bool on) { dialog_.SetTemperatureAlarm(on); }));
    alarmRow->addWidget(List(c.alarmTemperature));
    alarmRow->addStretch(1);
    body->addWidget(alarm);
    body->addWidget(Text(c.lcmService));
    changePassword_ = new QPushButton;
    changePassword_->setObjectName("changePassword");
    connect(changePassword_, &QPushButton::clicked, this, [this] { Forward([this] { dialog_.OnChangePassword(); }); });
    body->addWidget(changePassword_, 0, Qt::AlignLeft);
    right->addWidget(Group(c.osdGroup, body));  // on-screen display
    auto* osdRow = new QHBoxLayout;
    for (ui::CheckBox* osd : {&c.osdClock, &c.osdTemperature, &c.osdFanSpeed, &c.osdFramerate})
        osdRow->addWidget(Check(*osd));
    osdRow->addStretch(1);
    body->addLayout(osdRow);
    AddDisplayTools(right, tools);
    right->addStretch(1);

    columns->addLayout(left, 1);
    columns->addLayout(right, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    ok_ = new QPushButton;
    ok_->setObjectName("ok");
    ok_->setDefault(true);
    cancel_ = new QPushButton;
    cancel_->setObjectName("cancel");
    connect(ok_, &QPushButton::clicked, this, &SettingsWindow::accept);
    connect(cancel_, &QPushButton::clicked, this, &SettingsWindow::reject);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(16, 16, 16, 16);
    root->setSpacing(14);
    root->addLayout(columns, 1);
    root->addLayout(buttons);
    Render();
}

// Display tools: each group holds the one button that opens its dialog.
void SettingsWindow::AddDisplayTools(QVBoxLayout* column, const DisplayToolActions& tools) {
    for (auto [title, caption, name, action] :
         {std::tuple{&pixelClockTitle_, "Configure", "pixelClockConfigure", tools.pixelClock},
          std::tuple{&viewerTitle_, "Open", "viewerOpen", tools.viewer}}) {
        if (!action) continue;
        QVBoxLayout* body = nullptr;
        column->addWidget(Group(*title, body));
        auto* button = new QPushButton(caption);
        button->setObjectName(name);
        connect(button, &QPushButton::clicked, this, [action = action] { action(); });
        body->addWidget(button, 0, Qt::AlignLeft);
    }
}

QWidget* SettingsWindow::Group(ui::TextControl& title, QVBoxLayout*& body) {
    auto* frame = new QFrame;
    frame->setObjectName("group");
    body = new QVBoxLayout(frame);
    body->setContentsMargins(12, 8, 12, 10);
    body->setSpacing(6);
    QLabel* label = Text(title);
    label->setObjectName("groupTitle");
    body->addWidget(label);
    return frame;
}

QCheckBox* SettingsWindow::Check(ui::CheckBox& model, std::function<void(bool)> onToggle) {
    auto* box = new QCheckBox;
    box->setObjectName(QString("check%1").arg(model.id));
    connect(box, &QCheckBox::clicked, this, [this, &model, onToggle = std::move(onToggle)](bool on) {
        Forward([&model, &onToggle, on] {
            if (onToggle)
                onToggle(on);
            else
                model.checked = on;
        });
    });
    checks_.push_back({&model, box});
    return box;
}

QComboBox* SettingsWindow::List(ui::ChoiceList& model) {
    auto* list = new QComboBox;
    list->setObjectName(QString("list%1").arg(model.id));
    connect(list, &QComboBox::activated, this,
            [this, &model](int index) { Forward([&model, index] { model.Select(index); }); });
    lists_.push_back({&model, list});
    return list;
}

QLabel* SettingsWindow::Text(ui::TextControl& model) {
    auto* label = new QLabel;
    labels_.push_back({&model, label});
    return label;
}

QWidget* SettingsWindow::LabelledList(ui::TextControl& label, ui::ChoiceList& list) {
    auto* pair = new QWidget;
    auto* row = new QHBoxLayout(pair);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(Text(label));
    row->addWidget(List(list));
    row->addStretch(1);
    return pair;
}

void SettingsWindow::Forward(const std::function<void()>& action) {
    if (rendering_) return;
    action();
    Render();
}

void SettingsWindow::Render() {
    rendering_ = true;
    const app::SetDialogControls& c = dialog_.Controls();
    for (std::size_t i = 0; i < startup_.size(); ++i) {
        const ui::RadioButton& model = c.startup[i];
        startup_[i]->setText(Q(model.text));
        startup_[i]->setChecked(model.checked);
        startup_[i]->setEnabled(model.enabled);
        startup_[i]->setVisible(model.visible);
    }
    for (const CheckView& view : checks_) {
        const QSignalBlocker block(view.widget);
        view.widget->setText(Q(view.model->text));
        view.widget->setChecked(view.model->checked);
        view.widget->setEnabled(view.model->enabled);
        view.widget->setVisible(view.model->visible);
    }
    for (const ListView& view : lists_) {
        const QSignalBlocker block(view.widget);
        QStringList items;
        for (const std::string& item : view.model->items) items << Q(item);
        QStringList shown;
        for (int i = 0; i < view.widget->count(); ++i) shown << view.widget->itemText(i);
        if (shown != items) {
            view.widget->clear();
            view.widget->addItems(items);
        }
        view.widget->setCurrentIndex(view.model->selection);
        view.widget->setEnabled(view.model->enabled);
        view.widget->setVisible(view.model->visible);
    }
    for (const LabelView& view : labels_) {
        view.widget->setText(Q(view.model->text));
        view.widget->setEnabled(view.model->enabled);
        view.widget->setVisible(view.model->visible);
    }
    changePassword_->setText(Q(c.changePassword.text));
    ok_->setText(Q(c.ok.text));
    cancel_->setText(Q(c.cancel.text));
    rendering_ = false;
}

void SettingsWindow::accept() {
    dialog_.OnOK();
    QDialog::accept();
}

void SettingsWindow::reject() {
    dialog_.OnCancel();
    QDialog::reject();
}

}  // namespace vx::qt
