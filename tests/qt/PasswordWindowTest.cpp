// The "Change Password" window over its model: hidden edits, OK that stays open on a refusal.
#include <gtest/gtest.h>

#include <QLineEdit>

#include "app/AppSettings.h"
#include "app/CPasswordDlg.h"
#include "qt/PasswordWindow.h"
#include "qt/QtTestApp.h"
#include "support/FakeSettingsStore.h"
#include "support/ScriptedPrompts.h"

namespace vx::test {
namespace {

TEST(PasswordWindowTest, EditsReachTheModelAndOnlyAnAcceptedChangeCloses) {
    QtTestApp();
    FakeSettingsStore store;
    store.values[app::reg::kIphonePassWord] = 482915;
    ScriptedPrompts prompts;
    std::atomic<int32_t> stored{482915};
    app::CPasswordDlg model(store, stored, prompts);
    qt::PasswordWindow window(model);
    EXPECT_EQ(window.windowTitle(), "Change Password");
    for (QLineEdit* edit : {window.originalEdit(), window.newEdit(), window.confirmEdit()}) {
        EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
        EXPECT_EQ(edit->maxLength(), 63);
    }
    window.show();
    window.originalEdit()->setText("482915");
    window.newEdit()->setText("2468");
    window.confirmEdit()->setText("2469");
    window.accept();
    EXPECT_TRUE(window.isVisible());
    ASSERT_EQ(prompts.shown.size(), 1u);
    window.confirmEdit()->setText("2468");
    window.accept();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_EQ(stored, 2468);
}

}  // namespace
}  // namespace vx::test
