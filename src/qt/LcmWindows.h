#pragma once
// The LCD module's two windows: the display panel (toggles, mode, font, screens, intervals) and
// "LCM Services". Both render core models and forward every action to them.
#include <QDialog>

#include <array>
#include <functional>

#include "peripherals/LcmMessage.h"
#include "peripherals/LcmService.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace vx::qt {

class LcmPanelWindow final : public QDialog {
    Q_OBJECT
public:
    struct Target {
        std::function<int()> currentGpu;
        std::function<bool()> allGpus;  // sync-all: every GPU gets the message
    };
    /// `openServices` shows the "LCM Services" window (null: no button).
    LcmPanelWindow(peripherals::LcmDisplay& display, Target target, std::function<void()> openServices,
                   QWidget* parent = nullptr);

    /// Shows the panel's model.
    void Render();
    /// The panel's apply: the texts go into the model, then check and send.
    bool Apply();

private:
    void ReadBack();

    peripherals::LcmDisplay& display_;
    Target target_;
    std::array<QCheckBox*, 4> toggles_{};
    QComboBox* mode_ = nullptr;
    QRadioButton* largeFont_ = nullptr;
    QRadioButton* standardFont_ = nullptr;
    QComboBox* screenCount_ = nullptr;
    std::array<QLineEdit*, 3> screens_{};
    QLineEdit* standardText_ = nullptr;
    std::array<QSpinBox*, 3> intervals_{};
    bool rendering_ = false;
};

class LcmServicesWindow final : public QDialog {
    Q_OBJECT
public:
    LcmServicesWindow(peripherals::CLCMServicesDlg& dialog, QWidget* parent = nullptr);

private:
    peripherals::CLCMServicesDlg& dialog_;
};

/// The style both windows share with the settings dialog's look.
QString LcmWindowStyle();

}  // namespace vx::qt
