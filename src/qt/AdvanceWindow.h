#pragma once
// The advanced control window: renders tuning::CAdvanceDlg's controls and forwards trackbar
// moves, the clock-view choice and the buttons to it. Modeless; narrow it shows the
// readings, wide also the four trackbars.
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

#include "tuning/CAdvanceDlg.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vx::qt {

class SkinnedSlider;

class AdvanceWindow final : public QWidget {
    Q_OBJECT
public:
    /// `dialog` must outlive the window. The window starts hidden.
    explicit AdvanceWindow(tuning::CAdvanceDlg& dialog, QWidget* parent = nullptr);

    /// Brings every widget in line with the dialog's models.
    void Render();
    /// Shows the window (again) and brings it to the front.
    void ShowAndRaise();

private:
    struct SliderView {
        ui::CCVSlider* model;
        SkinnedSlider* widget;
    };
    struct TextView {
        ui::TextControl* model;
        QWidget* widget;  // a QLabel, a read-only QLineEdit or a QPushButton
    };

    QWidget* BuildReadings();
    QWidget* BuildTrackbars();
    QWidget* TrackbarRow(const QString& title, const QString& unit, ui::CCVSlider& slider, ui::TextControl& range,
                         ui::TextControl& value, ui::TextControl& apply, void (tuning::CAdvanceDlg::*onApply)());
    QLabel* Label(ui::TextControl& model, const char* objectName = nullptr);
    QLineEdit* Box(ui::TextControl& model);
    QPushButton* Button(ui::TextControl& model, void (tuning::CAdvanceDlg::*onClick)());
    void Forward(const std::function<void()>& action);

    tuning::CAdvanceDlg& dialog_;
    std::vector<SliderView> sliders_;
    std::vector<TextView> texts_;
    QComboBox* clockView_ = nullptr;
    QWidget* trackbars_ = nullptr;
    bool rendering_ = false;
};

/// The advanced dialog and its window, made on the first open request and kept for the main
/// dialog's life: later requests only show the window again.
class AdvanceDialogHost {
public:
    /// `owner` and `loop` must outlive the host.
    AdvanceDialogHost(tuning::CCorvaneHDDlg& owner, ui::IEventLoop& loop);
    ~AdvanceDialogHost();
    AdvanceDialogHost(const AdvanceDialogHost&) = delete;
    AdvanceDialogHost& operator=(const AdvanceDialogHost&) = delete;

    /// The request to show the advanced window.
    void Open();
    /// Null before the first Open.
    AdvanceWindow* window() const { return window_.get(); }
    tuning::CAdvanceDlg* dialog() const { return dialog_.get(); }

private:
    tuning::CCorvaneHDDlg& owner_;
    ui::IEventLoop& loop_;
    std::unique_ptr<tuning::CAdvanceDlg> dialog_;
    std::unique_ptr<AdvanceWindow> window_;  // goes first: it renders the dialog
};

}  // namespace vx::qt
