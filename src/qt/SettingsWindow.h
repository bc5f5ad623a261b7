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

class SettingsWindow final : public QDialog {
    Q_OBJECT
public:
    /// Opens `dialog` (OnInitDialog) and shows its controls.
    explicit SettingsWindow(app::CSetDialog& dialog, QWidget* parent = nullptr);

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

    app::CSetDialog& dialog_;
    std::vector<CheckView> checks_;
    std::vector<ListView> lists_;
    std::vector<LabelView> labels_;
    std::vector<QRadioButton*> startup_;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* changePassword_ = nullptr;
    bool rendering_ = false;
};

}  // namespace vx::qt
