#pragma once
// The settings dialog's window: renders app::CSetDialog's controls and forwards clicks,
// choices, OK and Cancel to it.
#include <QDialog>

#include <functional>
#include <vector>

#include "app/CSetDialog.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

namespace vx::qt {

/// Display tools opened from the dialog; an empty action leaves its group out.
struct DisplayToolActions {
    std::function<void()> pixelClock;  // "Configure"
    std::function<void()> viewer;      // "TLX Series Settings"
};

class SettingsWindow final : public QDialog {
    Q_OBJECT
public:
    /// Opens `dialog` (OnInitDialog) and shows its controls.
    explicit SettingsWindow(app::CSetDialog& dialog, QWidget* parent = nullptr, DisplayToolActions tools = {});

    void Render();

public slots:
    void accept() override;  // OK: the controller stores the values
    void reject() override;  // Cancel, Escape or the close button: nothing is stored

private:
    struct CheckView {
        ui::CheckBox* model;
        QCheckBox* widget;
    };
    struct ListView {
        ui::ChoiceList* model;
        QComboBox* widget;
    };
    struct LabelView {
        ui::TextControl* model;
        QLabel* widget;
    };

    QWidget* Group(ui::TextControl& title, QVBoxLayout*& body);
    QCheckBox* Check(ui::CheckBox& model, std::function<void(bool)> onToggle = {});
    QComboBox* List(ui::ChoiceList& model);
    QLabel* Text(ui::TextControl& model);
    QWidget* LabelledList(ui::TextControl& label, ui::ChoiceList& list);
    void Forward(const std::function<void()>& action);
    void AddDisplayTools(QVBoxLayout* column, const DisplayToolActions& tools);

    app::CSetDialog& dialog_;
    std::vector<CheckView> checks_;
    std::vector<ListView> lists_;
    std::vector<LabelView> labels_;
    std::vector<QRadioButton*> startup_;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* changePassword_ = nullptr;
    bool rendering_ = false;
    ui::TextControl pixelClockTitle_{0, "Pixel clock control properties"};
    ui::TextControl viewerTitle_{0, "TLX Series Settings"};
};

}  // namespace vx::qt
