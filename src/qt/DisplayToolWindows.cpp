#include "qt/DisplayToolWindows.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

#include "qt/HostWindow.h"

namespace vx::qt {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

const char* const kStyle =
    "QDialog { background: #161a20; }"
    "QFrame#group { background: #1c2129; border: 1px solid #2e3542; border-radius: 8px; }"
    "QLabel { color: #d8dee9; font-size: 12px; background: transparent; }"
    "QLabel#title { color: #46a0ff; font-weight: bold; }"
    "QLabel#note { color: #f0b35a; }"
    "QCheckBox { color: #d8dee9; font-size: 12px; }"
    "QLineEdit, QComboBox { color: #e6ecf5; background: #2b313b; border: 1px solid #3b4452; border-radius: 5px;"
    "  padding: 2px 6px; }"
    "QComboBox QAbstractItemView { color: #e6ecf5; background: #2b313b; selection-background-color: #1f4e80; }"
    "QPushButton { color: #e6ecf5; background: #2b313b; border: 1px solid #3b4452; border-radius: 6px;"
    "  padding: 5px 18px; }"
    "QPushButton:hover { border-color: #46a0ff; }"
    "QPushButton:disabled, QLabel:disabled, QCheckBox:disabled { color: #5d6675; }"
    "QPushButton#primary { background: #2f7fd6; border-color: #7cc0ff; }";

void Decorate(QDialog& dialog, const char* caption) {
    dialog.setWindowTitle(caption);
    dialog.setWindowIcon(AppIcon());
    dialog.setStyleSheet(kStyle);
}

QFrame* Group(const QString& title, QVBoxLayout*& body) {
    auto* frame = new QFrame;
    frame->setObjectName("group");
    body = new QVBoxLayout(frame);
    auto* label = new QLabel(title);
    label->setObjectName("title");
    body->addWidget(label);
    return frame;
}

void Fill(QComboBox& box, const ui::ChoiceList& list) {
    QSignalBlocker block(&box);
    if (box.count() != static_cast<int>(list.items.size())) {
        box.clear();
        for (const std::string& item : list.items) box.addItem(Q(item));
    }
    box.setCurrentIndex(list.selection);
}

}  // namespace

// ---- APPLY CHANGE ----

PixelMessageWindow::PixelMessageWindow(display::CPixelMessageDlg& dialog, QWidget* parent)
    : QDialog(parent), dialog_(dialog) {
    Decorate(*this, display::pixelmessage::kCaption);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(20, 18, 20, 16);
    root->addWidget(new QLabel(display::pixelmessage::kQuestion));
    countdown_ = new QLabel;
    countdown_->setObjectName("countdown");
    root->addWidget(countdown_);
    auto* buttons = new QHBoxLayout;
    auto* yes = new QPushButton(display::pixelmessage::kYes);
    yes->setObjectName("primary");
    auto* no = new QPushButton(display::pixelmessage::kNo);
    no->setDefault(true);  // Enter gives the trial up, like the countdown
    connect(yes, &QPushButton::clicked, this, [this] {
        dialog_.OnYes();
        accept();
    });
    connect(no, &QPushButton::clicked, this, &PixelMessageWindow::reject);
    buttons->addStretch(1);
    buttons->addWidget(yes);
    buttons->addWidget(no);
    root->addLayout(buttons);
    // The controller's countdown closes it; the window follows.
    auto* refresh = new QTimer(this);
    connect(refresh, &QTimer::timeout, this, &PixelMessageWindow::Render);
    refresh->start(100);
    Render();
}

void PixelMessageWindow::Render() {
    countdown_->setText(Q(dialog_.countdown().text));
    if (!dialog_.isOpen() && isVisible()) QDialog::reject();
}

void PixelMessageWindow::reject() {
    dialog_.OnNo();
    QDialog::reject();
}

// ---- PIXEL CLOCK OC ----

PixelClockWindow::PixelClockWindow(display::CPixelClockDlg& dialog, QWidget* parent)
    : QDialog(parent), dialog_(dialog) {
    Decorate(*this, display::pixelclock::kCaption);
    dialog_.OnInitDialog();
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(18, 16, 18, 16);
    root->setSpacing(10);
    monitors_ = new QComboBox;
    connect(monitors_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (rendering_) return;
        dialog_.OnSelectMonitor(index);
        Render();
    });
    root->addWidget(monitors_);
    pixelClock_ = new QLabel;
    pixelClock_->setObjectName("pixelClock");
    refresh_ = new QLabel;
    refresh_->setObjectName("refresh");
    slider_ = new QSlider(Qt::Horizontal);
    slider_->setMinimumWidth(360);
    connect(slider_, &QSlider::valueChanged, this, [this](int position) {
        if (rendering_) return;
        dialog_.OnSliderMoved(position);
        Render();
    });
    root->addWidget(pixelClock_);
    root->addWidget(slider_);
    root->addWidget(refresh_);
    auto* note = new QLabel(display::pixelclock::kNote);
    note->setObjectName("note");
    note->setWordWrap(true);
    root->addWidget(note);
    auto* buttons = new QHBoxLayout;
    auto* restore = new QPushButton("Default");
    auto* apply = new QPushButton("Apply");
    apply->setObjectName("primary");
    connect(restore, &QPushButton::clicked, this, [this] {
        dialog_.OnDefault();
        Render();
    });
    connect(apply, &QPushButton::clicked, this, [this] {
        dialog_.OnApply();
        Render();
    });
    buttons->addStretch(1);
    buttons->addWidget(restore);
    buttons->addWidget(apply);
    root->addLayout(buttons);
    Render();
}

void PixelClockWindow::Render() {
    rendering_ = true;
    Fill(*monitors_, dialog_.monitors());
    slider_->setRange(dialog_.slider().GetRangeMin(), dialog_.slider().GetRangeMax());
    slider_->setValue(dialog_.slider().GetPos());
    pixelClock_->setText(Q(dialog_.pixelClockLabel().text));
    refresh_->setText(Q(dialog_.refreshLabel().text));
    rendering_ = false;
}

void PixelClockWindow::reject() {
    dialog_.OnClose();
    QDialog::reject();
}

// ---- TLX Series Setting ----

ViewWindow::ViewWindow(display::CViewDlg& dialog, QWidget* parent) : QDialog(parent), dialog_(dialog) {
    Decorate(*this, display::view::kCaption);
    dialog_.OnInitDialog();
    display::ViewControls& c = dialog_.controls();
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(16, 14, 16, 14);
    root->setSpacing(10);
    auto* columns = new QHBoxLayout;
    root->addLayout(columns);

    QVBoxLayout* body = nullptr;
    QFrame* timing = Group("Timing", body);
    timings_ = new QComboBox;
    timings_->setMinimumWidth(260);
    connect(timings_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!rendering_) dialog_.controls().timings.Select(index);
    });
    body->addWidget(timings_);
    auto* manual = new QGridLayout;
    int row = 0;
    for (auto [label, model] : {std::pair{"Width", &c.width}, std::pair{"Height", &c.height},
                                std::pair{"V Frequency(0.001Hz)", &c.vFrequency},
                                std::pair{"Pixel clock(Hz)", &c.pixelClock}}) {
        manual->addWidget(new QLabel(label), row, 0);
        manual->addWidget(Edit(*model), row++, 1);
    }
    body->addLayout(manual);
    auto* set = new QPushButton("Set");
    set->setObjectName("primary");
    connect(set, &QPushButton::clicked, this, [this] { dialog_.OnSet(); });
    body->addWidget(set, 0, Qt::AlignRight);
    body->addStretch(1);
    columns->addWidget(timing, 1);

    QFrame* bezel = Group("Bezel correction", body);
    auto* bars = new QGridLayout;
    horizontalValue_ = new QLabel;
    verticalValue_ = new QLabel;
    bars->addWidget(new QLabel("Horizontal"), 0, 0);
    bars->addWidget(Bar(c.bezelHorizontal), 0, 1);
    bars->addWidget(horizontalValue_, 0, 2);
    bars->addWidget(new QLabel("Vertical"), 1, 0);
    bars->addWidget(Bar(c.bezelVertical), 1, 1);
    bars->addWidget(verticalValue_, 1, 2);
    body->addLayout(bars);
    for (const char* hint : {display::view::kHorizontalHint, display::view::kVerticalHint}) {
        auto* label = new QLabel(hint);
        label->setWordWrap(true);
        body->addWidget(label);
    }
    auto* bezelRow = new QHBoxLayout;
    bezelEnabled_ = new QCheckBox(Q(c.bezelEnabled.text));
    connect(bezelEnabled_, &QCheckBox::toggled, this, [this](bool on) { dialog_.controls().bezelEnabled.checked = on; });
    bezelApply_ = new QPushButton(Q(c.bezelApply.text));
    connect(bezelApply_, &QPushButton::clicked, this, [this] {
        dialog_.OnBezelApply();
        Render();
    });
    bezelRow->addWidget(bezelEnabled_);
    bezelRow->addStretch(1);
    bezelRow->addWidget(bezelApply_);
    body->addLayout(bezelRow);
    columns->addWidget(bezel, 1);

    QFrame* hex = Group("Device data", body);
    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel("Data"), 0, 0);
    fields->addWidget(Edit(c.data), 0, 1, 1, 3);
    fields->addWidget(new QLabel("Address"), 1, 0);
    fields->addWidget(Edit(c.address), 1, 1);
    fields->addWidget(new QLabel("Count"), 1, 2);
    fields->addWidget(Edit(c.count), 1, 3);
    operations_ = new QComboBox;
    connect(operations_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!rendering_) dialog_.controls().operations.Select(index);
    });
    fields->addWidget(new QLabel("Operation"), 2, 0);
    fields->addWidget(operations_, 2, 1, 1, 3);
    body->addLayout(fields);
    root->addWidget(hex);
    status_ = new QLabel;
    status_->setObjectName("status");
    root->addWidget(status_);
    Render();
}

QLineEdit* ViewWindow::Edit(ui::TextControl& model) {
    auto* edit = new QLineEdit;
    connect(edit, &QLineEdit::textEdited, this, [&model](const QString& text) { model.text = text.toStdString(); });
    edits_.emplace_back(&model, edit);
    return edit;
}

QSlider* ViewWindow::Bar(ui::CCVSlider& model) {
    auto* bar = new QSlider(Qt::Horizontal);
    bar->setMinimumWidth(160);
    connect(bar, &QSlider::valueChanged, this, [this, &model](int value) {
        if (rendering_) return;
        model.SetPos(value);
        dialog_.OnBezelMoved();
        Render();
    });
    bars_.emplace_back(&model, bar);
    return bar;
}

void ViewWindow::Render() {
    rendering_ = true;
    display::ViewControls& c = dialog_.controls();
    Fill(*timings_, c.timings);
    Fill(*operations_, c.operations);
    for (auto& [model, edit] : edits_)
        if (edit->text().toStdString() != model->text) edit->setText(Q(model->text));
    for (auto& [model, bar] : bars_) {
        bar->setRange(model->GetRangeMin(), model->GetRangeMax());
        bar->setValue(model->GetPos());
        bar->setEnabled(model->IsEnabled());
    }
    horizontalValue_->setText(Q(c.bezelHorizontalValue.text));
    verticalValue_->setText(Q(c.bezelVerticalValue.text));
    bezelEnabled_->setChecked(c.bezelEnabled.checked);
    bezelEnabled_->setEnabled(c.bezelEnabled.enabled);
    bezelApply_->setEnabled(c.bezelApply.enabled);
    status_->setText(Q(c.status.text));
    rendering_ = false;
}

// ---- Opening them ----

DisplayTools::DisplayTools(ui::IEventLoop& loop, ui::IPrompts& prompts, ui::IClock& clock,
                           std::filesystem::path dataDir)
    : loop_(loop), prompts_(prompts), viewer_(driver::DriverBinding::Process(), clock), dataDir_(std::move(dataDir)) {}

void DisplayTools::OpenPixelClock(QWidget* parent) {
    QWidget* owner = nullptr;
    display::CPixelClockDlg dialog(
        driver::DriverBinding::Process(), loop_, display::TrialMarker(dataDir_ / display::kTrialMarkerName),
        [](const std::string& text) { std::fputs(text.c_str(), stderr); },  // diagnostics, off the output feed
        [&owner](display::CPixelMessageDlg& confirmation) {
            PixelMessageWindow window(confirmation, owner);
            window.exec();
        });
    PixelClockWindow window(dialog, parent);
    owner = &window;
    window.exec();
}

void DisplayTools::OpenViewer(QWidget* parent) {
    display::CViewDlg dialog(viewer_, prompts_);
    ViewWindow window(dialog, parent);
    window.exec();
}

}  // namespace vx::qt
