#pragma once
// The main window: renders the tuning controller's models (GPU buttons, pages, sliders,
// toggles, the information panel) and forwards every user action to the controller. It
// decides nothing; after each action and each model change it renders again.
#include <QWidget>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tuning/CCorvaneHDDlg.h"

class QHBoxLayout;
class QLabel;
class QVBoxLayout;

namespace vx::monitor { class SampleLoop; }
namespace vx::tuning { class ProfileSlots; }

namespace vx::peripherals {
class KeyboardCompanion;
class LedLighting;
class SpeakerTest;
}  // namespace vx::peripherals

namespace vx::qt {

class ChartsHost;
class FanCurveView;
class ProfileSlotBar;
class SkinnedButton;
class SkinnedSlider;
class WaitProgressWindow;

/// What the information panel shows of a GPU beside the controller's texts; read once.
struct GpuIdentity {
    std::string name;
    std::string biosVersion;
};

/// Reads every GPU's name and BIOS version under the controller's hardware lock.
std::vector<GpuIdentity> ReadGpuIdentities(tuning::CCorvaneHDDlg& dialog);

/// Families the font set draws with; empty leaves Qt's default.
struct WindowFonts {
    QString text;
    QString digits = QStringLiteral("DS-Digital");
};

class MainWindow final : public QWidget {
    Q_OBJECT
public:
    MainWindow(tuning::CCorvaneHDDlg& dialog, std::vector<GpuIdentity> identities, WindowFonts fonts = {},
               QWidget* parent = nullptr);

    /// Shows the models as they are now.
    void Render();
    /// Render from any thread: runs on the window's thread.
    void ModelChanged();
    /// The sampling loop whose label colours and fan curve the window shows; it must outlive
    /// the window.
    void AttachSampler(monitor::SampleLoop& sampler);
    /// Places the history charts on the monitor page; `charts` must outlive the window.
    void AttachCharts(ChartsHost& charts);
    /// After each sample: only the live values and the fan curve change.
    void SampleTaken();
    /// Shows the ten profile slot buttons in the footer; `profileSlots` must outlive the window.
    void AttachProfileSlots(tuning::ProfileSlots& profileSlots);

    /// Fills the lighting page with `lighting`'s controls; `lighting` must outlive the window.
    void AttachLighting(peripherals::LedLighting& lighting);
    /// Adds the keyboard's two controls to the lighting page, shown while the keyboard is
    /// attached; `keyboard` must outlive the window. Call after AttachLighting.
    void AttachKeyboard(peripherals::KeyboardCompanion& keyboard);
    /// Adds the LCD module's button to the lighting page; `open` shows the display panel.
    /// Call after AttachLighting.
    void AttachLcmPanel(std::function<void()> open);

    /// Adds page 4, the HDMI audio speaker test; `speakers` must outlive the window.
    void AttachSpeakers(peripherals::SpeakerTest& speakers);

    /// The first widget bound to a model (tests, screenshots).
    SkinnedSlider* SliderFor(const ui::CCVSlider& model) const;
    SkinnedButton* ButtonFor(const ui::CCVButton& model) const;
    FanCurveView* fanCurve() const { return fanCurve_; }

private:
    // Which GPUs a control belongs to; the rest hide it so each page shows one family.
    enum class Family { Any, VfPoints, Pstates20, Legacy, WhenEnabled };
    // How a button shows its model: a caption over a plain image, an image per image id, or
    // a fixed image whose checked variant shows the check state.
    enum class Style { Caption, ImageId, Fixed };

    struct SliderView {
        ui::CCVSlider* model;
        Family family;
        QWidget* row;
        SkinnedSlider* slider;
        QLabel* value;
    };
    // Which of the sample's label colours a live value tile takes.
    enum class Tint { Plain, GraphicsClock, ProcessorClock, MemoryClock, Temperature, Fan, Voltage };
    struct MonitorTile {
        const int32_t tuning::LiveFields::*field;
        Tint tint;
        QLabel* value;
    };

    struct ButtonView {
        ui::CCVButton* model;
        Family family;
        Style style;
        SkinnedButton* widget;
        QString tooltip;  // used when the model has none
        bool showCaption;
    };

    QWidget* BuildHeader();
    QWidget* BuildPageButtons();
    QWidget* BuildPages();
    QWidget* BuildOneClickPage();
    QWidget* BuildOverclockPage();
    QWidget* BuildRegulatorPage();
    QWidget* BuildMonitorPage();
    QWidget* BuildFactoryBoostPage();
    QWidget* BuildInfoPanel();
    QWidget* BuildFooter();

    /// One row: label, slider, value and the row's toggles.
    void AddSliderRow(QVBoxLayout* rows, ui::CCVSlider& model, const QString& label, int tooltipRow, Family family,
                      const char* name, std::vector<QWidget*> extras = {});
    SkinnedButton* Bind(ui::CCVButton& model, Style style, const QString& imageBase, Family family, const char* name,
                        std::function<void()> action, const QString& tooltip = {}, bool showCaption = true);
    SkinnedButton* BindToggle(ui::CCVButton& model, Family family, const char* name, std::function<void()> action);
    /// Runs a user action on the controller, then renders.
    void Forward(const std::function<void()>& action);
    void OnSliderValue(ui::CCVSlider& model, int value);

    bool Shows(Family family, const ui::CCVSlider* model) const;
    bool IsLightingSlider(const ui::CCVSlider& model) const;
    /// The keyboard controls look for the keyboard whenever the lighting page is shown.
    void NoticePageChange();
    void RenderInfo();
    void RenderMonitor();
    void RenderSpeakers();

    tuning::CCorvaneHDDlg& dialog_;
    std::vector<GpuIdentity> identities_;
    WindowFonts fonts_;
    std::vector<SliderView> sliders_;
    std::vector<ButtonView> buttons_;
    std::map<int, QWidget*> pageSections_;
    QWidget* workModeRow_ = nullptr;
    QLabel* infoName_ = nullptr;
    std::map<int, QLabel*> infoValues_;  // by message row of the field's label
    std::vector<MonitorTile> monitorTiles_;
    FanCurveView* fanCurve_ = nullptr;
    QHBoxLayout* monitorBottomRow_ = nullptr;  // fan curve, history chart
    QHBoxLayout* footerRow_ = nullptr;
    ProfileSlotBar* slotBar_ = nullptr;
    monitor::SampleLoop* sampler_ = nullptr;
    bool rendering_ = false;
    peripherals::LedLighting* lighting_ = nullptr;
    QVBoxLayout* lightingRows_ = nullptr;
    peripherals::KeyboardCompanion* keyboard_ = nullptr;
    int32_t shownPage_ = -1;  // the page the keyboard controls were last checked for
    QVBoxLayout* pageButtons_ = nullptr;
    QVBoxLayout* pagesStack_ = nullptr;
    peripherals::SpeakerTest* speakers_ = nullptr;
    QLabel* hdmiStatus_ = nullptr;
    ui::CCVButton lcmPanelButton_{0};  // LCD module: opens the display panel
    WaitProgressWindow* applyWait_ = nullptr;  // while the clock-apply worker runs
};

}  // namespace vx::qt
