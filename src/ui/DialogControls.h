#pragma once
// Plain models of a dialog's standard controls; views render them and report user actions.
#include <string>
#include <vector>

namespace vx::ui {

/// A label, group box or push button.
struct TextControl {
    int id = 0;  // the dialog template's control id; 0 where the template has none
    std::string text;
    bool enabled = true;
    bool visible = true;
};

/// A check box or one radio button of a group.
struct CheckBox {
    int id = 0;
    std::string text;
    bool checked = false;
    bool enabled = true;
    bool visible = true;
};
using RadioButton = CheckBox;

/// A drop-down list of fixed items with at most one selected.
struct ChoiceList {
    int id = 0;
    std::vector<std::string> items;
    int selection = -1;  // -1: nothing selected
    bool enabled = true;
    bool visible = true;

    /// Selects item `index`; an index outside the list selects nothing.
    void Select(int index) {
        selection = (index >= 0 && index < static_cast<int>(items.size())) ? index : -1;
    }
    bool HasSelection() const { return selection >= 0; }
};

}  // namespace vx::ui
