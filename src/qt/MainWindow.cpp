#include "qt/MainWindow.h"

#include "qt/ProfileWindow.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

#include "app/CMultiLangSupp.h"
#include "monitor/SampleLoop.h"
#include "qt/ChartsHost.h"
#include "qt/CurveChartView.h"
#include "qt/FanCurveView.h"
#include "qt/SkinnedButton.h"
#include "qt/SkinnedSlider.h"
#include "qt/WaitProgressWindow.h"

namespace vx::qt {
namespace {

QString T(int row) { return QString::fromUtf8(app::Text(row)); }

constexpr int kInfoWidth = 236;
constexpr int kValueWidth = 52;

// Labels of the sliders whose value has no row of its own in the message table.
const char* const kOverVoltPercentLabel = "OVER VOLTAGE (%)";
const char* const kVoltageLockLabel = "VOLTAGE LOCK (x10 mV)";
const char* const kRegulatorALabel = "AUX VOLTAGE";

const char* const kStyle =
    "QWidget#mainWindow { background: transparent; }"
    "QFrame#panel { background: rgba(20, 24, 30, 200); border: 1px solid #2e3542; border-radius: 10px; }"
    "QLabel { color: #d8dee9; font-size: 12px; background: transparent; }"
    "QLabel#rowLabel { color: #aeb8c8; font-size: 11px; font-weight: bold; }"
    "QLabel#rowValue { color: #ffffff; font-size: 14px; font-weight: bold; }"
    "QLabel#panelTitle { color: #46a0ff; font-size: 12px; font-weight: bold; }"
    "QLabel#gpuName { color: #ffffff; font-size: 15px; font-weight: bold; }"
    "QLabel#infoKey { color: #7c8798; font-size: 11px; }"
    "QLabel#infoValue { color: #e6ecf5; font-size: 13px; }"
    "QLabel#monitorKey { color: #7c8798; font-size: 11px; }"
    "QLabel#monitorValue { color: #46a0ff; font-size: 26px; }"
    "QToolTip { color: #e6ecf5; background: #1c2129; border: 1px solid #46a0ff; padding: 4px; }";

QFrame* Panel() {
    auto* frame = new QFrame;
    frame->setObjectName("panel");
    return frame;
}

QLabel* Label(const QString& text, const char* objectName) {
    auto* label = new QLabel(text);
    label->setObjectName(objectName);
    return label;
}

}  // namespace

std::vector<GpuIdentity> ReadGpuIdentities(tuning::CCorvaneHDDlg& dialog) {
    std::vector<GpuIdentity> identities(static_cast<std::size_t>(dialog.gpuCount()));
    auto lock = dialog.LockHardware();
    for (std::size_t i = 0; i < identities.size(); ++i) {
        const auto g = static_cast<uint8_t>(i);
        if (dialog.gpu().GetGpuName(g, identities[i].name) != 0) identities[i].name.clear();
        if (dialog.gpu().GetBiosVersion(g, identities[i].biosVersion) != 0) identities[i].biosVersion.clear();
    }
    return identities;
}

MainWindow::MainWindow(tuning::CCorvaneHDDlg& dialog, std::vector<GpuIdentity> identities, WindowFonts fonts,
                       QWidget* parent)
    : QWidget(parent), dialog_(dialog), identities_(std::move(identities)), fonts_(std::move(fonts)) {
    setObjectName("mainWindow");
    setStyleSheet(kStyle);
    if (!fonts_.text.isEmpty()) {
        QFont base = font();
        base.setFamily(fonts_.text);
        setFont(base);
    }
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(10);
    root->addWidget(BuildHeader());
    auto* body = new QHBoxLayout;
    body->setSpacing(10);
    body->addWidget(BuildPageButtons(), 0, Qt::AlignTop);
    body->addWidget(BuildPages(), 1);
    body->addWidget(BuildInfoPanel());
    root->addLayout(body, 1);
    root->addWidget(BuildFooter());
    Render();
}

QWidget* MainWindow::BuildHeader() {
    auto* header = new QWidget;
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    for (int i = 0; i < tuning::kMaxGpuSlots; ++i) {
        const std::string name = "gpu" + std::to_string(i);
        row->addWidget(Bind(dialog_.buttons.gpu[static_cast<std::size_t>(i)], Style::Caption, "chip", Family::Any,
                            name.c_str(), [this, i] { dialog_.SelectGpu(i); }));
    }
    row->addSpacing(6);
    row->addWidget(Bind(
        dialog_.buttons.syncAll, Style::Fixed, "sync", Family::Any, "syncAll",
        [this] { dialog_.SetSyncAll(!dialog_.buttons.syncAll.IsChecked()); }, T(175), false));
    row->addStretch(1);
    row->addWidget(Bind(
        dialog_.buttons.settings, Style::Fixed, "settings", Family::Any, "settings", [this] { dialog_.OnSettings(); },
        T(176), false));
    row->addWidget(Bind(
        dialog_.buttons.hide, Style::Fixed, "hide", Family::Any, "hide", [this] { dialog_.OnHide(); }, T(245), false));
    return header;
}

QWidget* MainWindow::BuildPageButtons() {
    auto* column = new QWidget;
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    pageButtons_ = layout;
    // Tooltips where the message table has a fitting row.
    const std::map<int, int> tooltipRows = {{tuning::kPageOneClick, 252},
                                            {tuning::kPageOverclock, 1},
                                            {tuning::kPageRegulators, 161},
                                            {tuning::kPageMonitor, 244}};
    for (int page : {tuning::kPageOneClick, tuning::kPageOverclock, tuning::kPageRegulators, tuning::kPageLighting,
                     tuning::kPageMonitor, tuning::kPageFactoryBoost}) {
        const auto found = tooltipRows.find(page);
        const std::string name = "page" + std::to_string(page);
        layout->addWidget(Bind(
            dialog_.buttons.pages[static_cast<std::size_t>(page)], Style::Fixed, QString("page_%1").arg(page),
            Family::Any, name.c_str(), [this, page] { dialog_.ShowPage(page); },
            found == tooltipRows.end() ? QString() : T(found->second), false));
    }
    return column;
}

QWidget* MainWindow::BuildPages() {
    auto* panel = Panel();
    panel->setMinimumSize(560, 430);
    auto* stack = new QVBoxLayout(panel);
    stack->setContentsMargins(16, 14, 16, 14);
    pagesStack_ = stack;
    const std::pair<int, QWidget*> pages[] = {
        {tuning::kPageOneClick, BuildOneClickPage()},    {tuning::kPageOverclock, BuildOverclockPage()},
        {tuning::kPageRegulators, BuildRegulatorPage()}, {tuning::kPageLighting, new QWidget},
        {tuning::kPageMonitor, BuildMonitorPage()},      {tuning::kPageFactoryBoost, BuildFactoryBoostPage()},
    };
    for (const auto& [page, section] : pages) {
        section->setObjectName(QString("section%1").arg(page));
        stack->addWidget(section);
        pageSections_[page] = section;
    }
    stack->addStretch(1);
    return panel;
}

QWidget* MainWindow::BuildOneClickPage() {
    auto* page = new QWidget;
    auto* row = new QHBoxLayout(page);
    row->setContentsMargins(0, 40, 0, 0);
    row->setSpacing(18);
    row->addStretch(1);
    const int tooltips[] = {252, 252, 164};
    for (int i = 0; i < 3; ++i) {
        const std::string name = "oneClick" + std::to_string(i + 1);
        row->addWidget(Bind(
            dialog_.buttons.oneClick[static_cast<std::size_t>(i)], Style::Fixed, QString("oneclick_%1").arg(i + 1),
            Family::Any, name.c_str(), [this, i] { dialog_.SelectOneClickMode(i + 1); }, T(tooltips[i]), false));
    }
    row->addStretch(1);
    return page;
}

QWidget* MainWindow::BuildOverclockPage() {
    auto* page = new QWidget;
    auto* rows = new QVBoxLayout(page);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(8);
    tuning::MainSliders& s = dialog_.sliders;
    tuning::MainButtons& b = dialog_.buttons;

    AddSliderRow(rows, s.fanSpeed, T(152), 160, Family::Any, "fanSpeed",
                 {BindToggle(b.fanMode, Family::Any, "fanMode", [this] { dialog_.ToggleFanMode(); }),
                  BindToggle(b.curveSwitch, Family::Any, "curveSwitch", [this] { dialog_.ToggleCurveSwitch(); })});
    AddSliderRow(rows, s.gpuVfOffset, T(248), 252, Family::VfPoints, "gpuVfOffset");
    AddSliderRow(rows, s.memVfOffset, T(249), 253, Family::VfPoints, "memVfOffset");
    AddSliderRow(rows, s.gpuClockOffset, T(248), 252, Family::Pstates20, "gpuClockOffset");
    AddSliderRow(rows, s.memClockOffset, T(249), 253, Family::Pstates20, "memClockOffset");
    AddSliderRow(
        rows, s.coreClock, T(149), 157, Family::Legacy, "coreClock",
        {BindToggle(b.linkCoreShader, Family::Legacy, "linkCoreShader", [this] { dialog_.ToggleLinkCoreShader(); })});
    AddSliderRow(rows, s.shaderClock, T(150), 158, Family::Legacy, "shaderClock");
    AddSliderRow(rows, s.memoryClock, T(151), 159, Family::Legacy, "memoryClock");

    // Work modes and the unlock switches of the legacy clock sliders.
    auto* modes = new QWidget;
    workModeRow_ = modes;
    auto* modeRow = new QHBoxLayout(modes);
    modeRow->setContentsMargins(0, 0, 0, 0);
    modeRow->setSpacing(6);
    const int32_t levels[] = {tuning::kWorkMode2D, tuning::kWorkMode3DLow, tuning::kWorkMode3DPerf};
    for (int i = 0; i < 3; ++i) {
        const std::string name = "workMode" + std::to_string(i);
        const int32_t level = levels[i];
        modeRow->addWidget(Bind(b.workMode[static_cast<std::size_t>(i)], Style::Caption, "chip", Family::Legacy,
                                name.c_str(), [this, level] { dialog_.SelectWorkMode(level); }));
    }
    modeRow->addSpacing(12);
    for (auto [model, name, on] :
         {std::tuple{&b.unlockMin, "unlockMin", true}, std::tuple{&b.unlockMax, "unlockMax", false}}) {
        SkinnedButton* box = Bind(*model, Style::Fixed, "check", Family::Legacy, name, [this, model = model, on = on] {
            if (on)
                dialog_.SetUnlockMin(!model->IsChecked());
            else
                dialog_.SetUnlockMax(!model->IsChecked());
        });
        box->SetLook(SkinnedButton::Look::CheckBox);
        modeRow->addWidget(box);
    }
    modeRow->addStretch(1);
    rows->addWidget(modes);

    AddSliderRow(
        rows, s.powerTarget, T(256), 257, Family::Any, "powerTarget",
        {BindToggle(b.powerTempLink, Family::Any, "powerTempLink", [this] { dialog_.TogglePowerTempLink(); })});
    AddSliderRow(rows, s.tempTarget, T(264), -1, Family::Any, "tempTarget",
                 {BindToggle(b.voltageLock, Family::Any, "targetPriority", [this] { dialog_.ToggleVoltageLock(); })});
    AddSliderRow(
        rows, s.overVoltage, T(147), -1, Family::Any, "overVoltage",
        {BindToggle(b.overVoltage, Family::Any, "overVoltageSwitch", [this] { dialog_.ToggleOverVoltage(); })});
    AddSliderRow(rows, s.frameRateTarget, T(250), 254, Family::Any, "frameRateTarget",
                 {BindToggle(b.frameRate, Family::Any, "frameRateSwitch", [this] { dialog_.ToggleFrameRate(); })});
    AddSliderRow(rows, s.gpuVoltage, T(154), 161, Family::WhenEnabled, "gpuVoltage");
    return page;
}

QWidget* MainWindow::BuildRegulatorPage() {
    auto* page = new QWidget;
    auto* rows = new QVBoxLayout(page);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(8);
    tuning::MainSliders& s = dialog_.sliders;
    AddSliderRow(rows, s.gpuVoltage, T(154), 161, Family::WhenEnabled, "gpuVoltage.regulators");
    AddSliderRow(rows, s.regulatorA, kRegulatorALabel, 161, Family::WhenEnabled, "regulatorA");
    AddSliderRow(rows, s.memoryVoltage, T(148), 243, Family::WhenEnabled, "memoryVoltage");
    AddSliderRow(rows, s.overVoltPercent, kOverVoltPercentLabel, -1, Family::VfPoints, "overVoltPercent");
    AddSliderRow(rows, s.voltageLock, kVoltageLockLabel, -1, Family::VfPoints, "voltageLock",
                 {BindToggle(dialog_.buttons.voltageLock, Family::VfPoints, "voltageLockSwitch",
                             [this] { dialog_.ToggleVoltageLock(); })});
    return page;
}

QWidget* MainWindow::BuildMonitorPage() {
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 10, 0, 0);
    column->setSpacing(12);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(14);
    grid->setVerticalSpacing(10);
    using L = tuning::LiveFields;
    struct Field {
        int row;
        int32_t L::*field;
        Tint tint;
    };
    const Field fields[] = {
        {18, &L::graphicsClock, Tint::GraphicsClock}, {20, &L::processorClock, Tint::ProcessorClock},
        {19, &L::memoryClock, Tint::MemoryClock},     {21, &L::temperature, Tint::Temperature},
        {22, &L::fanPercent, Tint::Fan},              {153, &L::fanRpm, Tint::Fan},
        {23, &L::coreVoltage, Tint::Voltage},         {24, &L::boardPower, Tint::Plain},
        {231, &L::loadPercent, Tint::Plain},
    };
    QFont digits;
    if (!fonts_.digits.isEmpty()) digits.setFamily(fonts_.digits);
    int index = 0;
    for (const Field& f : fields) {
        auto* tile = Panel();
        auto* layout = new QVBoxLayout(tile);
        layout->setContentsMargins(12, 8, 12, 10);
        layout->addWidget(Label(T(f.row), "monitorKey"));
        QLabel* value = Label("-", "monitorValue");
        value->setFont(digits);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setProperty("liveRow", f.row);
        layout->addWidget(value);
        grid->addWidget(tile, index / 3, index % 3);
        monitorTiles_.push_back({f.field, f.tint, value});
        ++index;
    }
    column->addLayout(grid);

    // The fan curve the automation follows while the curve switch is on.
    auto* curvePanel = Panel();
    auto* curveLayout = new QVBoxLayout(curvePanel);
    curveLayout->setContentsMargins(12, 6, 12, 8);
    curveLayout->setSpacing(4);
    curveLayout->addWidget(Label(T(106), "monitorKey"));  // "Curve Drawing"
    fanCurve_ = new FanCurveView;
    fanCurve_->setToolTip(T(242));
    fanCurve_->setMinimumHeight(128);
    curveLayout->addWidget(fanCurve_, 1);
    monitorBottomRow_ = new QHBoxLayout;  // the history chart joins it (AttachCharts)
    monitorBottomRow_->setSpacing(12);
    monitorBottomRow_->addWidget(curvePanel, 1);
    column->addLayout(monitorBottomRow_, 1);
    return page;
}

QWidget* MainWindow::BuildFactoryBoostPage() {
    auto* page = new QWidget;
    auto* row = new QHBoxLayout(page);
    row->setContentsMargins(0, 40, 0, 0);
    row->addStretch(1);
    SkinnedButton* boost =
        BindToggle(dialog_.buttons.factoryBoost, Family::Any, "factoryBoost", [this] { dialog_.ToggleFactoryBoost(); });
    boost->setFixedSize(96, 52);
    row->addWidget(boost);
    row->addStretch(1);
    return page;
}

QWidget* MainWindow::BuildInfoPanel() {
    auto* panel = Panel();
    panel->setFixedWidth(kInfoWidth);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(14, 12, 14, 14);
    layout->setSpacing(4);
    layout->addWidget(Label(T(99), "panelTitle"));  // "Product Information"
    infoName_ = Label("", "gpuName");
    infoName_->setWordWrap(true);
    layout->addSpacing(6);
    layout->addWidget(infoName_);
    layout->addSpacing(6);
    for (int row : {100, 101, 105, 222}) {  // GPU ID, BIOS Version, Driver Version, Memory Size
        layout->addWidget(Label(T(row), "infoKey"));
        QLabel* value = Label("-", "infoValue");
        value->setObjectName("infoValue");
        value->setProperty("infoRow", row);
        layout->addWidget(value);
        layout->addSpacing(4);
        infoValues_[row] = value;
    }
    layout->addStretch(1);
    return panel;
}

QWidget* MainWindow::BuildFooter() {
    auto* footer = new QWidget;
    auto* row = new QHBoxLayout(footer);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    row->addStretch(1);
    footerRow_ = row;
    row->addWidget(Bind(dialog_.buttons.reset, Style::Caption, "push", Family::Any, "reset",
                        [this] { dialog_.RestoreDefaults(); }));
    applyWait_ = new WaitProgressWindow(QString::fromUtf8("Applying…"), this);
    row->addWidget(Bind(dialog_.buttons.apply, Style::Caption, "push_accent", Family::Any, "apply", [this] {
        dialog_.ApplySettings();
        applyWait_->Track([this] { return dialog_.workerRunning(); });
    }));
    return footer;
}

void MainWindow::AddSliderRow(QVBoxLayout* rows, ui::CCVSlider& model, const QString& label, int tooltipRow,
                              Family family, const char* name, std::vector<QWidget*> extras) {
    // Label and toggles above, the slider with its value below.
    auto* rowWidget = new QWidget;
    rowWidget->setObjectName(QString(name) + ".row");
    auto* grid = new QGridLayout(rowWidget);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(2);
    QLabel* caption = Label(label, "rowLabel");
    auto* slider = new SkinnedSlider;
    slider->setObjectName(name);
    QLabel* value = Label("", "rowValue");
    value->setFixedWidth(kValueWidth);
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (!fonts_.digits.isEmpty()) {
        QFont digits = value->font();
        digits.setFamily(fonts_.digits);
        value->setFont(digits);
    }
    if (tooltipRow >= 0) {
        caption->setToolTip(T(tooltipRow));
        slider->setToolTip(T(tooltipRow));
    }
    auto* toggles = new QHBoxLayout;
    toggles->setSpacing(6);
    toggles->addStretch(1);
    for (QWidget* extra : extras) toggles->addWidget(extra);
    grid->addWidget(caption, 0, 0, Qt::AlignBottom);
    grid->addLayout(toggles, 0, 1, 1, 2);
    grid->addWidget(slider, 1, 0, 1, 2);
    grid->addWidget(value, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setRowMinimumHeight(0, 26);
    rows->addWidget(rowWidget);
    connect(slider, &QAbstractSlider::valueChanged, this, [this, &model](int v) { OnSliderValue(model, v); });
    sliders_.push_back({&model, family, rowWidget, slider, value});
}

SkinnedButton* MainWindow::Bind(ui::CCVButton& model, Style style, const QString& imageBase, Family family,
                                const char* name, std::function<void()> action, const QString& tooltip,
                                bool showCaption) {
    auto* widget = new SkinnedButton(imageBase);
    widget->setObjectName(name);
    connect(widget, &QAbstractButton::clicked, this, [this, action = std::move(action)] { Forward(action); });
    buttons_.push_back({&model, family, style, widget, tooltip, showCaption});
    return widget;
}

SkinnedButton* MainWindow::BindToggle(ui::CCVButton& model, Family family, const char* name,
                                      std::function<void()> action) {
    return Bind(model, Style::ImageId, {}, family, name, std::move(action), {}, false);
}

void MainWindow::Forward(const std::function<void()>& action) {
    action();
    NoticePageChange();
    Render();
}

void MainWindow::OnSliderValue(ui::CCVSlider& model, int value) {
    if (rendering_) return;
    if (IsLightingSlider(model))
        model.SetPos(value);  // the lighting page's own; nothing else follows them
    else
        dialog_.OnSliderMoved(model, value);
    Render();
}

void MainWindow::ModelChanged() {
    if (QThread::currentThread() == thread())
        Render();
    else
        QMetaObject::invokeMethod(
            this, [this] { Render(); }, Qt::QueuedConnection);
}

void MainWindow::AttachProfileSlots(tuning::ProfileSlots& profileSlots) {
    if (slotBar_) return;
    slotBar_ = new ProfileSlotBar(profileSlots);
    connect(slotBar_, &ProfileSlotBar::slotPressed, this, [this](int, bool) { Render(); });
    footerRow_->insertWidget(0, slotBar_);
}

void MainWindow::AttachSampler(monitor::SampleLoop& sampler) {
    sampler_ = &sampler;
    fanCurve_->SetCurve(&sampler.curve());
    RenderMonitor();
}

void MainWindow::AttachCharts(ChartsHost& charts) {
    if (!monitorBottomRow_ || monitorBottomRow_->count() > 1) return;
    // Small history charts beside the values they follow.
    for (std::size_t slot = 0; slot < ChartsHost::kSmallSeries.size(); ++slot) {
        const auto field = monitor::kSeries[static_cast<std::size_t>(ChartsHost::kSmallSeries[slot])].source;
        for (const MonitorTile& tile : monitorTiles_) {
            auto* column = tile.field == field ? qobject_cast<QVBoxLayout*>(tile.value->parentWidget()->layout()) : nullptr;
            if (!column) continue;
            column->removeWidget(tile.value);
            auto* row = new QHBoxLayout;
            row->setSpacing(6);
            row->addWidget(charts.TakeSmallView(slot), 1);
            row->addWidget(tile.value);
            column->addLayout(row);
        }
    }
    // The temperature history of every GPU beside the fan curve, and the way to the monitor window.
    auto* panel = Panel();
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(12, 6, 12, 8);
    layout->setSpacing(4);
    auto* header = new QHBoxLayout;
    header->addStretch(1);
    auto* open = new QPushButton(T(244));  // "Monitors"
    open->setObjectName("titleButton");
    open->setToolTip(T(167));
    connect(open, &QPushButton::clicked, this, [&charts] { charts.OpenMonitor(); });
    header->addWidget(open);
    layout->addLayout(header);
    CurveChartView* large = charts.TakeLargeView();
    large->setFixedHeight(monitor::CurveChart::kStripHeight + monitor::CurveChart::kBottomMargin);
    layout->addWidget(large);
    layout->addStretch(1);
    monitorBottomRow_->addWidget(panel, 1);
}

void MainWindow::SampleTaken() {
    RenderMonitor();
    fanCurve_->update();
}

SkinnedSlider* MainWindow::SliderFor(const ui::CCVSlider& model) const {
    for (const SliderView& view : sliders_)
        if (view.model == &model) return view.slider;
    return nullptr;
}

SkinnedButton* MainWindow::ButtonFor(const ui::CCVButton& model) const {
    for (const ButtonView& view : buttons_)
        if (view.model == &model) return view.widget;
    return nullptr;
}

}  // namespace vx::qt
