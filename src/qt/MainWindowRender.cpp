// Rendering the controller's models into the main window's widgets.
#include <QLabel>
#include <QSignalBlocker>

#include "app/CMultiLangSupp.h"
#include "monitor/SampleLoop.h"
#include "qt/FanCurveView.h"
#include "qt/MainWindow.h"

#include "qt/ProfileWindow.h"
#include "qt/SkinnedButton.h"
#include "qt/SkinnedSlider.h"

namespace vx::qt {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

QString ColourStyle(const monitor::Rgb& rgb) {
    return QString("color: rgb(%1, %2, %3);").arg(rgb.red).arg(rgb.green).arg(rgb.blue);
}

// A button without image ids (the power/temperature link) shows the link images by its check.
QString ImageFor(const ui::CCVButton& model) {
    int id = model.imageId();
    if (id == 0) id = model.IsChecked() ? tuning::image::kLinked : tuning::image::kUnlinked;
    return QString("img_%1").arg(id);
}

}  // namespace

bool MainWindow::Shows(Family family, const ui::CCVSlider* model) const {
    const int current = dialog_.currentGpu();
    if (current < 0) return family == Family::Any;
    const auto g = static_cast<uint8_t>(current);
    GpuAccess& gpu = dialog_.gpu();
    const bool vf = gpu.usesVfPoints(g);
    const bool pstates = gpu.usesPstates20(g);
    switch (family) {
    case Family::Any:
        return true;
    case Family::VfPoints:
        return vf;
    case Family::Pstates20:
        return pstates && !vf;
    case Family::Legacy:
        return !pstates && !vf;
    // Regulators a card lacks are blanked rather than shown disabled.
    case Family::WhenEnabled:
        return model && model->IsEnabled();
    }
    return true;
}

void MainWindow::Render() {
    if (rendering_) return;
    rendering_ = true;
    // Curve edits go to the selected GPU's curve from the moment it is selected.
    if (sampler_ && sampler_->curve().selectedGpu() != dialog_.currentGpu()) {
        sampler_->curve().SelectGpu(dialog_.currentGpu());
        fanCurve_->update();
    }
    for (const auto& [page, section] : pageSections_) section->setVisible(page == dialog_.activePage());
    RenderSpeakers();

    for (const SliderView& view : sliders_) {
        const ui::CCVSlider& model = *view.model;
        const bool visible = model.IsVisible() && dialog_.OnActivePage(model.id()) && Shows(view.family, &model);
        view.row->setVisible(visible);
        {
            const QSignalBlocker block(view.slider);
            view.slider->setRange(model.GetRangeMin(), model.GetRangeMax());
            view.slider->setValue(model.GetPos());
        }
        view.slider->update();
        view.slider->setEnabled(model.IsEnabled());
        view.value->setText(QString::number(model.GetPos()));
        view.value->setEnabled(model.IsEnabled());
    }

    for (const ButtonView& view : buttons_) {
        const ui::CCVButton& model = *view.model;
        SkinnedButton* widget = view.widget;
        widget->setVisible(model.IsVisible() && dialog_.OnActivePage(model.id()) && Shows(view.family, nullptr));
        widget->setEnabled(model.IsEnabled());
        widget->SetOn(model.IsChecked());
        if (view.style == Style::ImageId) widget->SetImageBase(ImageFor(model));
        widget->setText(view.showCaption ? Q(model.caption()) : QString());
        const QString tooltip = !model.tooltip().empty()  ? Q(model.tooltip())
                                : !view.tooltip.isEmpty() ? view.tooltip
                                : view.showCaption        ? QString()
                                                          : Q(model.caption());
        widget->setToolTip(tooltip);
    }
    // The row of work modes takes no room where none of its buttons shows.
    bool anyMode = false;
    for (const ui::CCVButton& mode : dialog_.buttons.workMode)
        anyMode = anyMode || (mode.IsVisible() && dialog_.OnActivePage(mode.id()) && Shows(Family::Legacy, nullptr));
    workModeRow_->setVisible(anyMode);
    RenderInfo();
    RenderMonitor();
    if (slotBar_) slotBar_->Render();  // RESET gives the slots their plain look
    rendering_ = false;
}

void MainWindow::RenderInfo() {
    const int current = dialog_.currentGpu();
    if (current < 0 || current >= tuning::kMaxGpuSlots) {
        infoName_->setText(QString::fromUtf8(app::Text(94)));  // "Please select GPU"
        for (auto& [row, label] : infoValues_) label->setText("-");
        return;
    }
    const auto g = static_cast<uint8_t>(current);
    const tuning::GpuTexts& texts = dialog_.texts(current);
    const GpuIdentity identity = g < identities_.size() ? identities_[g] : GpuIdentity{};
    infoName_->setText(QString("GPU %1  %2").arg(current).arg(Q(identity.name)));
    const auto orDash = [](const std::string& text) { return text.empty() ? QString("-") : Q(text); };
    infoValues_[100]->setText(orDash(dialog_.gpu().deviceIdText(g)));
    QString bios = orDash(identity.biosVersion);
    if (!texts.biosTag.empty()) bios += QString("  (%1)").arg(Q(texts.biosTag));
    infoValues_[101]->setText(bios);
    infoValues_[105]->setText(orDash(texts.driverVersion));
    infoValues_[222]->setText(texts.memorySize.empty() ? QString("-") : Q(texts.memorySize) + " MB");
}

void MainWindow::RenderMonitor() {
    const int current = dialog_.currentGpu();
    if (current < 0 || current >= tuning::kMaxGpuSlots) return;
    const tuning::LiveFields& live = dialog_.record(current).live;
    for (const MonitorTile& tile : monitorTiles_) {
        const int32_t value = live.*tile.field;
        tile.value->setText(value < 0 ? QString("-") : QString::number(value));
        if (!sampler_) continue;
        const monitor::MonitorLabels& labels = sampler_->labels();
        monitor::Rgb colour = monitor::kLabelNormal;
        switch (tile.tint) {
        case Tint::Plain:
            break;
        case Tint::GraphicsClock:
            colour = labels.graphicsClock.colour;
            break;
        case Tint::ProcessorClock:
            colour = labels.processorClock.colour;
            break;
        case Tint::MemoryClock:
            colour = labels.memoryClock.colour;
            break;
        case Tint::Temperature:
            colour = labels.temperature;
            break;
        case Tint::Fan:
            if (labels.fanOutOfRange) colour = monitor::kLabelAlert;
            break;
        case Tint::Voltage:
            colour = labels.voltage;
            break;
        }
        // A style sheet change restyles the label: only when the colour moved.
        const QString style = ColourStyle(colour);
        if (tile.value->styleSheet() != style) tile.value->setStyleSheet(style);
    }
}

}  // namespace vx::qt
