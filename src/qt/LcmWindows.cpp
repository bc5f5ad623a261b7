#include "qt/LcmWindows.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "qt/HostWindow.h"

namespace vx::qt {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// The module's own options, named by what they switch on it.
const char* const kToggleNames[] = {"Display on", "Backlight", "Scrolling", "Blinking"};
const char* const kToggleBits[] = {"0x20", "0x10", "0x08", "0x40"};

}  // namespace

QString LcmWindowStyle() {
    return "QDialog { background: #161a20; }"
           "QGroupBox { color: #46a0ff; font-weight: bold; border: 1px solid #2e3542; border-radius: 8px;"
           "  margin-top: 14px; padding: 10px 8px 8px 8px; background: #1c2129; }"
           "QGroupBox::title { subcontrol-origin: margin; left: 10px; padding: 0 4px; }"
           "QLabel, QCheckBox, QRadioButton { color: #d8dee9; font-size: 12px; background: transparent; }"
           "QCheckBox:disabled, QRadioButton:disabled, QLabel:disabled { color: #8a93a3; }"
           "QCheckBox::indicator, QRadioButton::indicator { width: 14px; height: 14px; border: 1px solid #56627a;"
           "  background: #20252d; }"
           "QCheckBox::indicator { border-radius: 3px; }"
           "QRadioButton::indicator { border-radius: 8px; }"
           "QCheckBox::indicator:checked { background: #46a0ff; border-color: #7cc0ff; }"
           "QRadioButton::indicator:checked { border-color: #7cc0ff; background: qradialgradient(cx: 0.5, cy: 0.5,"
           "  radius: 0.5, fx: 0.5, fy: 0.5, stop: 0 #ffffff, stop: 0.4 #ffffff, stop: 0.5 #46a0ff, stop: 1 #46a0ff); }"
           "QLineEdit, QSpinBox, QComboBox { color: #e6ecf5; background: #2b313b; border: 1px solid #3b4452;"
           "  border-radius: 5px; padding: 3px 6px; }"
           "QLineEdit:disabled, QComboBox:disabled { color: #5d6675; background: #20252c; }"
           "QComboBox QAbstractItemView { color: #e6ecf5; background: #2b313b; selection-background-color: #1f4e80; }"
           "QPushButton { color: #e6ecf5; background: #2b313b; border: 1px solid #3b4452; border-radius: 6px;"
           "  padding: 5px 18px; }"
           "QPushButton:hover { border-color: #46a0ff; }"
           "QPushButton#apply { background: #2f7fd6; border-color: #7cc0ff; }";
}

LcmPanelWindow::LcmPanelWindow(peripherals::LcmDisplay& display, Target target, std::function<void()> openServices,
                               QWidget* parent)
    : QDialog(parent), display_(display), target_(std::move(target)) {
    setWindowTitle("LCD Module");
    setWindowIcon(AppIcon());
    setStyleSheet(LcmWindowStyle());
    const QString tooltip = Q(peripherals::kLcmEditTooltip);

    auto* options = new QGroupBox("Display");
    auto* optionGrid = new QGridLayout(options);
    for (std::size_t k = 0; k < toggles_.size(); ++k) {
        toggles_[k] = new QCheckBox(kToggleNames[k]);
        toggles_[k]->setObjectName(QString("lcmToggle%1").arg(k));
        toggles_[k]->setToolTip(QString("Command bit %1").arg(kToggleBits[k]));
        connect(toggles_[k], &QCheckBox::toggled, this, [this, k] {
            if (!rendering_) display_.panel().Toggle(k);
        });
        optionGrid->addWidget(toggles_[k], static_cast<int>(k / 2), static_cast<int>(k % 2));
    }
    mode_ = new QComboBox;
    mode_->setObjectName("lcmMode");
    for (int k = 0; k < peripherals::kLcmModes; ++k) mode_->addItem(QString("Mode %1").arg(k + 1));
    optionGrid->addWidget(new QLabel("Display mode"), 2, 0);
    optionGrid->addWidget(mode_, 2, 1);

    auto* message = new QGroupBox("Custom message");
    auto* form = new QGridLayout(message);
    form->setVerticalSpacing(8);
    largeFont_ = new QRadioButton("Large font");
    standardFont_ = new QRadioButton("Standard font");
    largeFont_->setObjectName("lcmLargeFont");
    screenCount_ = new QComboBox;
    screenCount_->setObjectName("lcmScreenCount");
    for (int k = 1; k <= 3; ++k) screenCount_->addItem(QString(k == 1 ? "%1 screen" : "%1 screens").arg(k));
    auto* fontRow = new QHBoxLayout;
    fontRow->addWidget(largeFont_);
    fontRow->addSpacing(8);
    fontRow->addWidget(screenCount_);
    fontRow->addSpacing(16);
    fontRow->addWidget(standardFont_);
    fontRow->addStretch(1);
    form->addLayout(fontRow, 0, 0, 1, 3);
    form->addWidget(new QLabel("Interval (s)"), 1, 2);
    for (std::size_t k = 0; k < screens_.size(); ++k) {
        const int row = static_cast<int>(k) + 2;
        screens_[k] = new QLineEdit;
        screens_[k]->setObjectName(QString("lcmScreen%1").arg(k + 1));
        screens_[k]->setMaxLength(static_cast<int>(peripherals::kLcmMaxScreenChars));
        screens_[k]->setToolTip(tooltip);
        screens_[k]->setMinimumWidth(300);
        intervals_[k] = new QSpinBox;
        intervals_[k]->setRange(0, 255);
        intervals_[k]->setButtonSymbols(QAbstractSpinBox::NoButtons);
        intervals_[k]->setAlignment(Qt::AlignRight);
        intervals_[k]->setToolTip("Seconds this screen stays before the next");
        form->addWidget(new QLabel(QString("Screen %1").arg(k + 1)), row, 0);
        form->addWidget(screens_[k], row, 1);
        form->addWidget(intervals_[k], row, 2);
    }
    standardText_ = new QLineEdit;
    standardText_->setObjectName("lcmStandardText");
    standardText_->setMaxLength(static_cast<int>(peripherals::kLcmMaxStandardChars));
    standardText_->setToolTip(tooltip);
    form->addWidget(new QLabel("Text"), 5, 0);
    form->addWidget(standardText_, 5, 1, 1, 2);
    for (QRadioButton* font : {largeFont_, standardFont_})
        connect(font, &QRadioButton::toggled, this, [this] {
            if (rendering_) return;
            ReadBack();
            Render();
        });
    connect(screenCount_, &QComboBox::currentIndexChanged, this, [this] {
        if (rendering_) return;
        ReadBack();
        Render();
    });

    auto* buttons = new QHBoxLayout;
    if (openServices) {
        auto* services = new QPushButton("Service...");
        services->setObjectName("lcmServices");
        connect(services, &QPushButton::clicked, this, std::move(openServices));
        buttons->addWidget(services);
    }
    buttons->addStretch(1);
    auto* close = new QPushButton("Close");
    auto* apply = new QPushButton("APPLY");
    apply->setObjectName("apply");
    apply->setToolTip("Sends the message to the current GPU's module, or to every GPU with sync-all");
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(apply, &QPushButton::clicked, this, [this] { Apply(); });
    buttons->addWidget(close);
    buttons->addWidget(apply);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(10);
    layout->addWidget(options);
    layout->addWidget(message);
    layout->addLayout(buttons);
    Render();
}

void LcmPanelWindow::Render() {
    rendering_ = true;
    const peripherals::LcmPanelControls& panel = display_.panel();
    for (std::size_t k = 0; k < toggles_.size(); ++k) toggles_[k]->setChecked(panel.IsOn(k));
    mode_->setCurrentIndex(panel.modeIndex);
    largeFont_->setChecked(panel.largeFont);
    standardFont_->setChecked(!panel.largeFont);
    screenCount_->setCurrentIndex(panel.screenCount - 1);
    screenCount_->setEnabled(panel.largeFont);
    for (std::size_t k = 0; k < screens_.size(); ++k) {
        screens_[k]->setText(Q(panel.screens[k]));
        const bool used = panel.largeFont && static_cast<int>(k) < panel.screenCount;
        screens_[k]->setEnabled(used);
        intervals_[k]->setEnabled(used);
        intervals_[k]->setValue(panel.intervals[k].GetPos());
    }
    standardText_->setText(Q(panel.standardText));
    standardText_->setEnabled(!panel.largeFont);
    rendering_ = false;
}

void LcmPanelWindow::ReadBack() {
    peripherals::LcmPanelControls& panel = display_.panel();
    panel.modeIndex = mode_->currentIndex();
    panel.largeFont = largeFont_->isChecked();
    panel.screenCount = screenCount_->currentIndex() + 1;
    for (std::size_t k = 0; k < screens_.size(); ++k) {
        panel.screens[k] = screens_[k]->text().toStdString();
        panel.intervals[k].SetPos(intervals_[k]->value());
    }
    panel.standardText = standardText_->text().toStdString();
}

bool LcmPanelWindow::Apply() {
    ReadBack();
    const bool sent = display_.ApplyPanel(target_.currentGpu(), target_.allGpus());
    Render();
    return sent;
}

LcmServicesWindow::LcmServicesWindow(peripherals::CLCMServicesDlg& dialog, QWidget* parent)
    : QDialog(parent), dialog_(dialog) {
    dialog_.OnInitDialog();
    setWindowTitle(Q(dialog_.caption.text));
    setWindowIcon(AppIcon());
    setStyleSheet(LcmWindowStyle());

    auto* state = new QGroupBox("Service state");
    auto* radios = new QHBoxLayout(state);
    for (ui::RadioButton* model : {&dialog_.runningRadio, &dialog_.stoppedRadio}) {
        auto* radio = new QRadioButton(Q(model->text));
        radio->setChecked(model->checked);
        radio->setEnabled(model->enabled);
        radios->addWidget(radio);
    }
    radios->addStretch(1);

    auto* buttons = new QHBoxLayout;
    const auto add = [this, buttons](ui::TextControl& model, const char* name, std::function<void()> action) {
        if (!model.visible) return;
        auto* button = new QPushButton(Q(model.text));
        button->setObjectName(name);
        connect(button, &QPushButton::clicked, this, std::move(action));
        buttons->addWidget(button);
    };
    add(dialog_.install, "install", [this] { dialog_.OnInstall(); });
    add(dialog_.uninstall, "uninstall", [this] { dialog_.OnUninstall(); });
    buttons->addStretch(1);
    add(dialog_.startStop, "startStop", [this] {
        dialog_.OnStartStop();
        accept();
    });
    add(dialog_.cancel, "cancel", [this] { reject(); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(10);
    layout->addWidget(new QLabel(QString("The LCD module's service \"%1\" (a systemd user unit)")
                                     .arg(peripherals::kLcmServiceUnit)));
    layout->addWidget(state);
    layout->addLayout(buttons);
}

}  // namespace vx::qt
