#pragma once
// "Change Password": the phone's access password, opened from the settings dialog.
#include <atomic>
#include <cstdint>
#include <string>

#include "platform/SettingsStore.h"
#include "ui/DialogControls.h"
#include "ui/IPrompts.h"

namespace vx::app {

struct PasswordDialogControls {
    std::string caption;
    ui::TextControl group;
    ui::TextControl originalLabel;
    ui::TextControl newLabel;
    ui::TextControl confirmLabel;
    // What the user typed into the three hidden-input edits.
    std::string original;
    std::string newPassword;
    std::string confirm;
    ui::TextControl ok;
    ui::TextControl cancel;
};

class CPasswordDlg {
public:
    static constexpr int kTemplateId = 245;
    enum class State { Open, Accepted, Canceled };

    /// `storedPassword` is the number the server compares at each login.
    CPasswordDlg(platform::SettingsStore& store, std::atomic<int32_t>& storedPassword, ui::IPrompts& prompts);

    void OnInitDialog();
    /// Checks the edits; stores the new number and closes, or says what is wrong and stays open.
    void OnOK();
    void OnCancel() { state_ = State::Canceled; }

    PasswordDialogControls& Controls() { return controls_; }
    State state() const { return state_; }

private:
    void Refuse(int textRow, ui::BoxIcon icon);

    platform::SettingsStore& store_;
    std::atomic<int32_t>& storedPassword_;
    ui::IPrompts& prompts_;
    PasswordDialogControls controls_;
    State state_ = State::Open;
};

}  // namespace vx::app
