#include "app/CPasswordDlg.h"

#include "app/AppSettings.h"
#include "app/CMultiLangSupp.h"
#include "app/RegistryValues.h"
#include "remote/AccessPassword.h"

namespace vx::app {
namespace {

constexpr int kIdOriginalLabel = 1424, kIdNewLabel = 1425, kIdConfirmLabel = 1426, kIdGroup = 1051;
constexpr int kIdOk = 1, kIdCancel = 2;
constexpr int kOriginalPassword = 125, kNewPassword = 126, kConfirmPassword = 127;
constexpr int kInputPassword = 129, kPasswordsDiffer = 131;

}  // namespace

CPasswordDlg::CPasswordDlg(platform::SettingsStore& store, std::atomic<int32_t>& storedPassword, ui::IPrompts& prompts)
    : store_(store), storedPassword_(storedPassword), prompts_(prompts) {}

void CPasswordDlg::OnInitDialog() {
    PasswordDialogControls& c = controls_;
    c.caption = Text(msg::kChangePassword);
    c.originalLabel = {kIdOriginalLabel, Text(kOriginalPassword)};
    c.newLabel = {kIdNewLabel, Text(kNewPassword)};
    c.confirmLabel = {kIdConfirmLabel, Text(kConfirmPassword)};
    c.ok = {kIdOk, Text(msg::kOk)};
    c.cancel = {kIdCancel, Text(msg::kCancel)};
    c.group = {kIdGroup, Text(msg::kChangePassword)};
}

void CPasswordDlg::OnOK() {
    std::optional<int32_t> stored;
    if (const auto value = ReadRegValue(store_, reg::kIphonePassWord)) stored = static_cast<int32_t>(*value);
    const remote::PasswordChange change =
        remote::CheckPasswordChange(controls_.original, controls_.newPassword, controls_.confirm, stored);
    switch (change.outcome) {
    case remote::PasswordChangeOutcome::Mismatch:
        return Refuse(kPasswordsDiffer, ui::BoxIcon::Error);
    case remote::PasswordChangeOutcome::WrongOriginal:
        return Refuse(msg::kPasswordError, ui::BoxIcon::Error);
    case remote::PasswordChangeOutcome::Empty:
    case remote::PasswordChangeOutcome::OutOfRange:
        return Refuse(kInputPassword, ui::BoxIcon::Information);
    case remote::PasswordChangeOutcome::Changed:
        break;
    }
    // A failed store write leaves the new number in force for this run only.
    storedPassword_ = change.password;
    WriteRegValue(store_, reg::kIphonePassWord, static_cast<uint32_t>(change.password));
    state_ = State::Accepted;
}

void CPasswordDlg::Refuse(int textRow, ui::BoxIcon icon) {
    prompts_.MessageBox(Text(textRow), Text(msg::kAppName), icon, ui::BoxButtons::Ok);
}

}  // namespace vx::app
