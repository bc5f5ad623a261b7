// The profile window: SAVE and LOAD through the file choosers into the "Profile" folder, a
// cancelled chooser that changes nothing, and the slot buttons with their looks.
#include <gtest/gtest.h>

#include <QPushButton>

#include "qt/ProfileWindow.h"
#include "qt/QtTestApp.h"
#include "support/TempDir.h"
#include "tuning/TuningFixture.h"

namespace vx::tuningtest {
namespace {

namespace fs = std::filesystem;

class ProfileWindowTest : public TuningFixture {
protected:
    ProfileWindowTest() {
        test::QtTestApp();
        StartDialog(Pstates20Rig());
        file = std::make_unique<tuning::UserSettingsFile>(*gpus, clock, home.path(), last);
        file->AttachDialog(&dlg());
        profileSlots = std::make_unique<tuning::ProfileSlots>(*file, dlg(), prompts, clock);
        tuning::ProfileFileDialogs dialogs;
        dialogs.save = [this](const fs::path& folder) { return Answer(folder); };
        dialogs.open = [this](const fs::path& folder) { return Answer(folder); };
        profileDialog = std::make_unique<tuning::CCVProfileDlg>(*profileSlots, std::move(dialogs), prompts);
        window = std::make_unique<qt::ProfileWindow>(*profileDialog, *profileSlots, [this] { ++loads; });
        window->show();
    }
    ~ProfileWindowTest() override {
        window.reset();
        profileDialog.reset();
        profileSlots.reset();
        file.reset();
    }

    std::optional<fs::path> Answer(const fs::path& folder) {
        offeredFolder = folder;
        return chosen;
    }
    QPushButton* Button(const QString& text) {
        for (QPushButton* button : window->findChildren<QPushButton*>())
            if (button->text() == text) return button;
        ADD_FAILURE() << "no button \"" << text.toStdString() << "\"";
        return nullptr;
    }
    int32_t GraphicsDeltaKhz() {
        std::lock_guard guard(simulator->mutex());
        return rig().gpus[0].clocks.pstates[0].clocks[0].deltaKhz;
    }
    void SetGraphicsDeltaKhz(int32_t khz) { ASSERT_EQ(gpus->SetGraphicsClockOffset(0, khz), 0); }
    fs::path Folder() const { return home.path() / "Profile"; }

    test::TempDir home;
    tuning::LastLoadedRecord last{};
    std::unique_ptr<tuning::UserSettingsFile> file;
    std::unique_ptr<tuning::ProfileSlots> profileSlots;
    std::unique_ptr<tuning::CCVProfileDlg> profileDialog;
    std::unique_ptr<qt::ProfileWindow> window;
    std::optional<fs::path> chosen;
    std::optional<fs::path> offeredFolder;
    int loads = 0;
};

TEST_F(ProfileWindowTest, SaveThenLoadBringsTheHardwareBackAndCloses) {
    EXPECT_EQ(window->windowTitle(), "Profile");
    ASSERT_TRUE(Button("SAVE      ")) << "the button text keeps its trailing blanks";
    SetGraphicsDeltaKhz(100000);

    chosen = Folder() / "quiet";  // no extension typed
    Button("SAVE      ")->click();
    EXPECT_EQ(offeredFolder, Folder());
    EXPECT_TRUE(fs::is_directory(Folder())) << "made before the chooser opens";
    EXPECT_TRUE(fs::exists(Folder() / "quiet.ini"));
    EXPECT_FALSE(fs::exists(Folder() / "quiet"));
    EXPECT_EQ(window->result(), QDialog::Accepted);
    EXPECT_FALSE(window->isVisible());

    SetGraphicsDeltaKhz(-50000);
    chosen = Folder() / "quiet.ini";
    window->show();
    Button("LOAD")->click();
    EXPECT_EQ(GraphicsDeltaKhz(), 100000);
    EXPECT_EQ(loads, 1);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(ProfileWindowTest, CancelledChooserChangesNothingAndKeepsTheWindowOpen) {
    chosen.reset();
    Button("SAVE      ")->click();
    Button("LOAD")->click();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(test::TempDir::Entries(Folder()).empty());
    EXPECT_EQ(loads, 0);
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(ProfileWindowTest, FailedSaveIsReportedInsteadOfClosingAsIfSaved) {
    chosen = Folder() / "missing-folder" / "x.ini";
    Button("SAVE      ")->click();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, tuning::profiledlg::kSaveFailed);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(ProfileWindowTest, SlotButtonsLoadTheirFileAndShowWhichWasPressed) {
    QPushButton* three = window->findChild<QPushButton*>("slot3");
    QPushButton* four = window->findChild<QPushButton*>("slot4");
    ASSERT_TRUE(three && four);
    EXPECT_EQ(three->text(), "3");

    three->click();  // nothing saved under 3 yet
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Load the settings failed, Please save your settings before load .");
    EXPECT_NE(three->styleSheet().indexOf("#ff0000"), -1) << "selected look";
    EXPECT_NE(four->styleSheet().indexOf("#ffffbe"), -1) << "plain look";
    EXPECT_EQ(loads, 0);

    SetGraphicsDeltaKhz(40000);
    chosen = Folder() / "4.ini";
    Button("SAVE      ")->click();
    SetGraphicsDeltaKhz(0);
    window->show();
    four->click();
    EXPECT_EQ(GraphicsDeltaKhz(), 40000);
    EXPECT_EQ(loads, 1);
    EXPECT_NE(three->styleSheet().indexOf("#ffffbe"), -1) << "back to plain";
    EXPECT_NE(four->styleSheet().indexOf("#ff0000"), -1);
}

}  // namespace
}  // namespace vx::tuningtest
