// The settings window over the settings dialog's controller: clicks reach the controls, OK
// stores them, Cancel stores nothing.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include "app/CSetDialog.h"
#include "qt/QtTestApp.h"
#include "qt/SettingsWindow.h"
#include "support/FakeAutostart.h"
#include "support/FakeSettingsStore.h"

namespace vx::test {
namespace {

class SettingsWindowTest : public ::testing::Test {
protected:
    SettingsWindowTest() {
        QtTestApp();
        settings.Load(store);
        store.ClearLog();
    }

    template <class Widget>
    Widget* ByText(const qt::SettingsWindow& window, const QString& text) {
        for (Widget* widget : window.findChildren<Widget*>())
            if (widget->text() == text) return widget;
        ADD_FAILURE() << "no control \"" << text.toStdString() << "\"";
        return nullptr;
    }
    std::optional<uint32_t> Written(const std::string& name) const {
        std::optional<uint32_t> value;
        for (const auto& [written, v] : store.writes)
            if (written == name) value = v;
        return value;
    }

    FakeSettingsStore store;
    FakeAutostart autostart;
    app::AppSettings settings;
    app::AutostartEntry entry{autostart, "/opt/veltrix-plus/veltrix-plus"};
    app::CSetDialog dialog{settings, store, entry, app::SetDialogContext{}};
};

TEST_F(SettingsWindowTest, OkStoresWhatTheUserClicked) {
    qt::SettingsWindow window(dialog);
    window.show();
    QCheckBox* restore = ByText<QCheckBox>(window, "Save hardware settings on exit");
    ASSERT_TRUE(restore && restore->isChecked()) << "on by default";
    restore->click();

    ByText<QRadioButton>(window, "Run and minimize")->click();
    int checked = 0;
    for (QRadioButton* radio : window.findChildren<QRadioButton*>()) checked += radio->isChecked();
    EXPECT_EQ(checked, 1) << "the startup options exclude each other";

    QComboBox* fanLow = window.findChild<QComboBox*>("list1301");
    ASSERT_NE(fanLow, nullptr);
    EXPECT_FALSE(fanLow->isEnabled()) << "custom-mode lists wait for custom mode";
    ByText<QCheckBox>(window, "Custom mode")->click();
    ASSERT_TRUE(fanLow->isEnabled());
    ASSERT_EQ(fanLow->count(), 3);
    fanLow->setCurrentIndex(2);
    emit fanLow->activated(2);  // as a user's choice does

    ByText<QCheckBox>(window, "Clocks")->click();  // the "On-screen Display" group
    ByText<QCheckBox>(window, "Framerate")->click();

    window.findChild<QPushButton*>("ok")->click();
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.state(), app::CSetDialog::State::Accepted);
    EXPECT_EQ(Written("OSDClockShow"), 1u);
    EXPECT_EQ(Written("OSDFramerateShow"), 1u);
    EXPECT_EQ(Written("RestoreUserSettings"), 0u);
    EXPECT_EQ(Written("HighSet"), 1u);
    EXPECT_EQ(Written("FansSet"), 3u) << "the third choice, stored as choice + 1";
    ASSERT_TRUE(autostart.entry.has_value());
    EXPECT_NE(autostart.entry->find("Minimize"), std::string::npos) << *autostart.entry;
}

TEST_F(SettingsWindowTest, CancelStoresNothing) {
    qt::SettingsWindow window(dialog);
    window.show();
    store.ClearLog();
    ByText<QCheckBox>(window, "Save hardware settings on exit")->click();
    ByText<QRadioButton>(window, "Do not run")->click();
    window.findChild<QPushButton*>("cancel")->click();
    EXPECT_EQ(window.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.state(), app::CSetDialog::State::Canceled);
    EXPECT_EQ(store.WriteCount(), 0);
    EXPECT_EQ(autostart.writeCount + autostart.removeCount, 0);
    EXPECT_TRUE(settings.restoreUserSettings);
}

TEST_F(SettingsWindowTest, DisplayToolGroupsOpenTheirDialogs) {
    EXPECT_EQ(qt::SettingsWindow(dialog).findChild<QPushButton*>("pixelClockConfigure"), nullptr);
    std::vector<std::string> opened;
    qt::SettingsWindow window(dialog, nullptr,
                              qt::DisplayToolActions{[&] { opened.push_back("pixel clock"); },
                                                     [&] { opened.push_back("viewer"); }});
    ByText<QLabel>(window, "Pixel clock control properties");
    ByText<QLabel>(window, "TLX Series Settings");
    window.findChild<QPushButton*>("pixelClockConfigure")->click();
    window.findChild<QPushButton*>("viewerOpen")->click();
    EXPECT_EQ(opened, (std::vector<std::string>{"pixel clock", "viewer"}));
}

}  // namespace
}  // namespace vx::test
