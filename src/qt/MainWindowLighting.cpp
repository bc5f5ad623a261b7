// The main window's lighting page: effect buttons, colour presets, the custom colour's
// sliders and the three speeds.
#include "qt/MainWindow.h"

#include "peripherals/KeyboardCompanion.h"
#include "peripherals/LedLighting.h"
#include "qt/SkinnedButton.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <string>

namespace vx::qt {

void MainWindow::AttachLighting(peripherals::LedLighting& lighting) {
    const auto section = pageSections_.find(tuning::kPageLighting);
    if (lighting_ || section == pageSections_.end()) return;
    lighting_ = &lighting;
    peripherals::LightingPageControls& page = lighting.page();
    auto* rows = new QVBoxLayout(section->second);
    lightingRows_ = rows;
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(8);

    const char* const effectNames[] = {"Steady", "Breathing", "Cycle breathing", "Cycle steps",
                                       "Off",    "Temperature", "Load",          "Fan"};
    auto* effects = new QGridLayout;
    effects->setSpacing(6);
    for (int k = 0; k < 8; ++k) {
        ui::CCVButton& model = page.effects[static_cast<std::size_t>(k)];
        model.SetCaption(effectNames[k]);
        const std::string name = "ledEffect" + std::to_string(k);
        SkinnedButton* button =
            Bind(model, Style::Caption, "chip", Family::Any, name.c_str(), [&page, k] { page.SelectEffect(k); });
        button->setMinimumWidth(118);
        effects->addWidget(button, k / 4, k % 4);
    }
    rows->addLayout(effects);

    const char* const presetNames[] = {"Custom", "White", "Red", "Orange", "Yellow", "Green", "Blue", "Pink", "Purple"};
    auto* presets = new QHBoxLayout;
    presets->setSpacing(6);
    for (int k = 0; k < 9; ++k) {
        const std::string name = "ledPreset" + std::to_string(k);
        SkinnedButton* button =
            Bind(page.presets[static_cast<std::size_t>(k)], Style::Fixed, QString("swatch_%1").arg(k), Family::Any,
                 name.c_str(), [&page, k] { page.SelectPreset(k); }, presetNames[k], false);
        button->setFixedSize(36, 36);
        presets->addWidget(button);
    }
    presets->addStretch(1);
    rows->addSpacing(4);
    rows->addLayout(presets);

    AddSliderRow(rows, page.red, "Red", -1, Family::Any, "ledRed");
    AddSliderRow(rows, page.green, "Green", -1, Family::Any, "ledGreen");
    AddSliderRow(rows, page.blue, "Blue", -1, Family::Any, "ledBlue");
    AddSliderRow(rows, page.speeds[0], "Breathing period (s)", -1, Family::Any, "ledBreathPeriod");
    AddSliderRow(rows, page.speeds[1], "Cycle breathing period (s)", -1, Family::Any, "ledCycleBreathPeriod");
    AddSliderRow(rows, page.speeds[2], "Cycle step period (s)", -1, Family::Any, "ledCycleStepPeriod");
    Render();
}

void MainWindow::AttachKeyboard(peripherals::KeyboardCompanion& keyboard) {
    if (keyboard_ || !lightingRows_) return;
    keyboard_ = &keyboard;
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    keyboard.syncToggle.SetTooltip("Keyboard lighting sync");
    row->addWidget(BindToggle(keyboard.syncToggle, Family::Any, "keyboardSync", [&keyboard] { keyboard.ToggleKeyboardSync(); }));
    keyboard.launch.SetCaption("Keyboard");
    row->addWidget(Bind(keyboard.launch, Style::Caption, "chip", Family::Any, "keyboardLaunch",
                        [&keyboard] { keyboard.LaunchCompanion(); }));
    row->addStretch(1);
    lightingRows_->addLayout(row);
    NoticePageChange();
    Render();
}

void MainWindow::NoticePageChange() {
    if (!keyboard_ || dialog_.activePage() == shownPage_) return;
    shownPage_ = dialog_.activePage();
    keyboard_->OnPageShown(shownPage_ == tuning::kPageLighting);
}

bool MainWindow::IsLightingSlider(const ui::CCVSlider& model) const {
    if (!lighting_) return false;
    const peripherals::LightingPageControls& page = lighting_->page();
    for (const ui::CCVSlider* slider : {&page.red, &page.green, &page.blue, &page.speeds[0], &page.speeds[1], &page.speeds[2]})
        if (slider == &model) return true;
    return false;
}

}  // namespace vx::qt
