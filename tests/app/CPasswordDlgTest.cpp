// "Change Password": texts, refusals with their boxes, and the number the next login needs.
#include <gtest/gtest.h>

#include "app/AppSettings.h"
#include "app/CMultiLangSupp.h"
#include "app/CPasswordDlg.h"
#include "support/FakeSettingsStore.h"
#include "support/ScriptedPrompts.h"

namespace vx::app {
namespace {

struct PasswordDialog : ::testing::Test {
    PasswordDialog() {
        store.values[reg::kIphonePassWord] = 482915;
        dialog.OnInitDialog();
    }
    void Type(const std::string& original, const std::string& next, const std::string& confirm) {
        dialog.Controls().original = original;
        dialog.Controls().newPassword = next;
        dialog.Controls().confirm = confirm;
        dialog.OnOK();
    }

    test::FakeSettingsStore store;
    test::ScriptedPrompts prompts;
    std::atomic<int32_t> stored{482915};
    CPasswordDlg dialog{store, stored, prompts};
};

TEST_F(PasswordDialog, TextsComeFromTheMessageTable) {
    const PasswordDialogControls& c = dialog.Controls();
    EXPECT_EQ(c.caption, "Change Password");
    EXPECT_EQ(c.group.text, "Change Password");
    EXPECT_EQ(c.originalLabel.text, "Original password");
    EXPECT_EQ(c.newLabel.text, "New password");
    EXPECT_EQ(c.confirmLabel.text, "Confirm password");
    EXPECT_EQ(c.ok.text, "OK");
    EXPECT_EQ(c.cancel.text, "Cancel");
}

TEST_F(PasswordDialog, RefusalsKeepTheDialogOpenAndStoreNothing) {
    struct Case { const char* original; const char* next; const char* confirm; const char* text; ui::BoxIcon icon; };
    const Case cases[] = {
        {"482915", "1", "2", "New password and confirmed password are different!", ui::BoxIcon::Error},
        {"482916", "1", "1", "Password error!", ui::BoxIcon::Error},
        {"482915", "", "", "Please input password:", ui::BoxIcon::Information},
        {"482915", "4294967296", "4294967296", "Please input password:", ui::BoxIcon::Information},
    };
    for (const Case& c : cases) {
        prompts.shown.clear();
        Type(c.original, c.next, c.confirm);
        ASSERT_EQ(prompts.shown.size(), 1u) << c.next;
        EXPECT_EQ(prompts.shown[0].text, c.text);
        EXPECT_EQ(prompts.shown[0].caption, Text(msg::kAppName));
        EXPECT_EQ(prompts.shown[0].icon, c.icon);
        EXPECT_EQ(dialog.state(), CPasswordDlg::State::Open);
    }
    EXPECT_EQ(store.WriteCount(), 0);
    EXPECT_EQ(stored, 482915);
}

TEST_F(PasswordDialog, NewNumberIsStoredAndTakesEffectAtOnce) {
    store.failWrites = true;  // a failed store write still changes the running program's number
    Type("482915", "0012ab", "0012ab");
    EXPECT_EQ(dialog.state(), CPasswordDlg::State::Accepted);
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(stored, 12);
    EXPECT_EQ(store.writes, (std::vector<std::pair<std::string, uint32_t>>{{reg::kIphonePassWord, 12}}));
}

}  // namespace
}  // namespace vx::app
