#include "qt/AdvanceWindow.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "qt/HostWindow.h"
#include "qt/SkinnedSlider.h"

namespace vx::qt {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

const char* const kStyle =
    "QWidget#advance { background: #161a20; }"
    "QFrame#group { background: #1c2129; border: 1px solid #2e3542; border-radius: 8px; }"
    "QLabel { color: #d8dee9; font-size: 12px; background: transparent; }"
    "QLabel:disabled { color: #5d6675; }"
    "QLabel#groupTitle { color: #46a0ff; font-weight: bold; }"
    "QLabel#range { color: #8a94a6; font-size: 11px; }"
    "QLabel#value, QLabel#reading { color: #7cc0ff; font-weight: bold; }"
    "QLineEdit { color: #e6ecf5; background: #0f1217; border: 1px solid #2e3542; border-radius: 4px;"
    "  padding: 2px 6px; }"
    "QComboBox { color: #e6ecf5; background: #2b313b; border: 1px solid #3b4452; border-radius: 5px;"
    "  padding: 2px 8px; }"
    "QComboBox QAbstractItemView { color: #e6ecf5; background: #2b313b; selection-background-color: #1f4e80; }"
    "QPushButton { color: #e6ecf5; background: #2b313b; border: 1px solid #3b4452; border-radius: 6px;"
    "  padding: 4px 14px; }"
    "QPushButton:hover { border-color: #46a0ff; }"
    "QPushButton:disabled { color: #5d6675; border-color: #2b313b; }"
    "QPushButton#button1025 { font-weight: bold; padding: 4px 10px; }";

QFrame* Group(const QString& title, QVBoxLayout*& body) {
    auto* frame = new QFrame;
    frame->setObjectName("group");
    body = new QVBoxLayout(frame);
    body->setContentsMargins(12, 8, 12, 10);
    body->setSpacing(6);
    auto* label = new QLabel(title);
    label->setObjectName("groupTitle");
    body->addWidget(label);
    return frame;
}

// A fixed caption beside a value: the dialog template's static texts.
QLabel* Caption(const QString& text) { return new QLabel(text); }

}  // namespace

AdvanceWindow::AdvanceWindow(tuning::CAdvanceDlg& dialog, QWidget* parent) : QWidget(parent), dialog_(dialog) {
    setObjectName("advance");
    setWindowFlag(Qt::Window);
    setWindowTitle(QString::fromUtf8(tuning::advance::kCaption));
    setWindowIcon(AppIcon());
    // Closing it only hides it; it must not end the program while the main window sits in
    // the notification area.
    setAttribute(Qt::WA_QuitOnClose, false);
    setAttribute(Qt::WA_StyledBackground, true);
    setStyleSheet(kStyle);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(12);
    row->addWidget(BuildReadings());
    trackbars_ = BuildTrackbars();
    row->addWidget(trackbars_, 1);
    Render();
}

QWidget* AdvanceWindow::BuildReadings() {
    tuning::AdvanceControls& c = dialog_.controls;
    auto* column = new QWidget;
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);

    QVBoxLayout* body = nullptr;
    layout->addWidget(Group("Clocks", body));
    clockView_ = new QComboBox;
    clockView_->setObjectName(QString("list%1").arg(c.clockView.id));
    connect(clockView_, &QComboBox::activated, this,
            [this](int index) { Forward([this, index] { dialog_.OnClockViewChanged(index); }); });
    body->addWidget(clockView_);
    auto* clocks = new QGridLayout;
    clocks->setHorizontalSpacing(10);
    clocks->addWidget(Caption("Graphics"), 0, 0);
    clocks->addWidget(Box(c.graphicsClock), 0, 1);
    clocks->addWidget(Caption("Processor"), 1, 0);
    clocks->addWidget(Box(c.processorClock), 1, 1);
    clocks->addWidget(Caption("Memory"), 2, 0);
    clocks->addWidget(Box(c.memoryClock), 2, 1);
    body->addLayout(clocks);

    layout->addWidget(Group("Status", body));
    auto* status = new QGridLayout;
    status->setHorizontalSpacing(10);
    const std::pair<const char*, ui::TextControl*> readings[] = {
        {"Power", &c.powerReading},
        {"P-State", &c.pstateReading},
        {"Power Target", &c.powerTargetReading},
        {"Voltage (uV)", &c.voltageReading},
        {"Temperature", &c.temperatureReading},
    };
    int line = 0;
    for (const auto& [caption, model] : readings) {
        status->addWidget(Caption(caption), line, 0);
        status->addWidget(Label(*model, "reading"), line, 1);
        ++line;
    }
    body->addLayout(status);
    layout->addStretch(1);

    auto* widenRow = new QHBoxLayout;
    widenRow->addStretch(1);
    widenRow->addWidget(Button(c.widen, &tuning::CAdvanceDlg::OnWidenOrNarrow));
    layout->addLayout(widenRow);
    column->setFixedWidth(tuning::advance::kNarrowWidth - 24);  // inside the window's margins
    return column;
}

QWidget* AdvanceWindow::BuildTrackbars() {
    tuning::AdvanceControls& c = dialog_.controls;
    auto* column = new QWidget;
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    layout->addWidget(TrackbarRow("Power Target", "1/1000 %", c.powerTarget, c.powerRange, c.powerValue,
                                  c.applyPower, &tuning::CAdvanceDlg::OnApplyPower));
    layout->addWidget(TrackbarRow("Graphics Clock Offset", "kHz", c.graphicsOffset, c.graphicsRange, c.graphicsValue,
                                  c.applyGraphics, &tuning::CAdvanceDlg::OnApplyGraphicsOffset));
    layout->addWidget(TrackbarRow("Memory Clock Offset", "kHz", c.memoryOffset, c.memoryRange, c.memoryValue,
                                  c.applyMemory, &tuning::CAdvanceDlg::OnApplyMemoryOffset));
    layout->addWidget(TrackbarRow("Core Voltage Offset", "uV", c.voltageOffset, c.voltageRange, c.voltageValue,
                                  c.applyVoltage, &tuning::CAdvanceDlg::OnApplyVoltageOffset));
    layout->addStretch(1);
    auto* resetRow = new QHBoxLayout;
    resetRow->addStretch(1);
    resetRow->addWidget(Button(c.reset, &tuning::CAdvanceDlg::OnReset));
    layout->addLayout(resetRow);
    return column;
}

QWidget* AdvanceWindow::TrackbarRow(const QString& title, const QString& unit, ui::CCVSlider& slider,
                                    ui::TextControl& range, ui::TextControl& value, ui::TextControl& apply,
                                    void (tuning::CAdvanceDlg::*onApply)()) {
    QVBoxLayout* body = nullptr;
    QFrame* frame = Group(title + "  (" + unit + ")", body);
    body->addWidget(Label(range, "range"));
    auto* row = new QHBoxLayout;
    auto* bar = new SkinnedSlider;
    bar->setObjectName(QString("trackbar%1").arg(slider.id()));
    connect(bar, &QAbstractSlider::valueChanged, this, [this, &slider](int position) {
        if (rendering_) return;
        Forward([this, &slider, position] { dialog_.OnSliderMoved(slider, position); });
    });
    sliders_.push_back({&slider, bar});
    row->addWidget(bar, 1);
    QLabel* shown = Label(value, "value");
    shown->setMinimumWidth(64);
    shown->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row->addWidget(shown);
    row->addWidget(Button(apply, onApply));
    body->addLayout(row);
    return frame;
}

QLabel* AdvanceWindow::Label(ui::TextControl& model, const char* objectName) {
    auto* label = new QLabel;
    label->setObjectName(objectName ? QString(objectName) : QString("label%1").arg(model.id));
    label->setProperty("controlId", model.id);
    texts_.push_back({&model, label});
    return label;
}

QLineEdit* AdvanceWindow::Box(ui::TextControl& model) {
    auto* box = new QLineEdit;
    box->setObjectName(QString("box%1").arg(model.id));
    box->setReadOnly(true);
    box->setFocusPolicy(Qt::NoFocus);
    texts_.push_back({&model, box});
    return box;
}

QPushButton* AdvanceWindow::Button(ui::TextControl& model, void (tuning::CAdvanceDlg::*onClick)()) {
    auto* button = new QPushButton;
    button->setObjectName(QString("button%1").arg(model.id));
    connect(button, &QPushButton::clicked, this, [this, onClick] { Forward([this, onClick] { (dialog_.*onClick)(); }); });
    texts_.push_back({&model, button});
    return button;
}

void AdvanceWindow::Forward(const std::function<void()>& action) {
    action();
    Render();
}

void AdvanceWindow::Render() {
    rendering_ = true;
    for (const SliderView& view : sliders_) {
        const QSignalBlocker block(view.widget);
        view.widget->setRange(view.model->GetRangeMin(), view.model->GetRangeMax());
        view.widget->setValue(view.model->GetPos());
        view.widget->setEnabled(view.model->IsEnabled());
        view.widget->setVisible(view.model->IsVisible());
        // Keys step by a whole unit the user thinks in: 1 %, 1 MHz, one voltage step.
        const bool voltage = view.model->id() == tuning::advance::kVoltageTrackbar;
        view.widget->setSingleStep(voltage ? 1 : 1000);
        view.widget->setPageStep(voltage ? 1 : 10000);
    }
    for (const TextView& view : texts_) {
        const QString text = Q(view.model->text);
        if (auto* label = qobject_cast<QLabel*>(view.widget)) label->setText(text);
        else if (auto* box = qobject_cast<QLineEdit*>(view.widget)) box->setText(text);
        else if (auto* button = qobject_cast<QPushButton*>(view.widget)) button->setText(text);
        view.widget->setEnabled(view.model->enabled);
        view.widget->setVisible(view.model->visible);
    }
    const ui::ChoiceList& list = dialog_.controls.clockView;
    {
        const QSignalBlocker block(clockView_);
        if (clockView_->count() != static_cast<int>(list.items.size())) {
            clockView_->clear();
            for (const std::string& item : list.items) clockView_->addItem(Q(item));
        }
        clockView_->setCurrentIndex(list.selection);
    }
    trackbars_->setVisible(dialog_.wide());
    setFixedWidth(dialog_.windowWidth());
    rendering_ = false;
}

void AdvanceWindow::ShowAndRaise() {
    Render();
    if (isMinimized()) showNormal();
    else show();
    raise();
    activateWindow();
}

AdvanceDialogHost::AdvanceDialogHost(tuning::CCorvaneHDDlg& owner, ui::IEventLoop& loop) : owner_(owner), loop_(loop) {}

AdvanceDialogHost::~AdvanceDialogHost() {
    window_.reset();
    dialog_.reset();
}

void AdvanceDialogHost::Open() {
    if (!dialog_) {
        tuning::AdvanceDialogHooks hooks;
        hooks.modelChanged = [this] {
            if (window_) window_->Render();
        };
        hooks.showWindow = [this] {
            if (window_) window_->ShowAndRaise();
        };
        dialog_ = std::make_unique<tuning::CAdvanceDlg>(owner_, loop_, std::move(hooks));
        window_ = std::make_unique<AdvanceWindow>(*dialog_);
    }
    dialog_->OnOpenRequest();
}

}  // namespace vx::qt
