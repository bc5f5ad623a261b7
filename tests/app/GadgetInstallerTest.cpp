#include <gtest/gtest.h>

#include "app/GadgetInstaller.h"
#include "support/TempDir.h"

namespace vx::app {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// A working folder holding our shipped gadget and "CurrInfo.xml", a profile whose sidebar
// gadget folder exists as on Windows 7, and an empty Windows folder.
struct GadgetRig {
    TempDir temp;
    GadgetEnvironment environment;

    explicit GadgetRig(std::optional<platform::WindowsVersion> version) {
        environment = {version, temp / "profile", temp / "windows", temp / "work"};
        fs::create_directories(Gadgets());
        fs::create_directories(environment.windowsFolder);
        fs::create_directories(environment.workingFolder);
        fs::copy(fs::path(VX_TEST_ASSETS) / GadgetInstaller::kFolderName,
                 environment.workingFolder / GadgetInstaller::kFolderName, fs::copy_options::recursive);
        WriteState("<Info><Temp>41</Temp></Info>");
    }
    fs::path Gadgets() const {
        return environment.profileFolder / "AppData" / "Local" / "Microsoft" / "Windows Sidebar" / "Gadgets";
    }
    fs::path Destination() const { return Gadgets() / GadgetInstaller::kFolderName; }
    fs::path Copy() const { return environment.windowsFolder / "CurrInfo.xml"; }
    void WriteState(const std::string& text) const { TempDir::WriteFile(environment.workingFolder / "CurrInfo.xml", text); }
};

// Runs a case in another working folder and goes back to the test run's own.
struct WorkingFolder {
    explicit WorkingFolder(const fs::path& folder) { fs::current_path(folder); }
    ~WorkingFolder() { fs::current_path(previous); }
    fs::path previous = fs::current_path();
};

TEST(GadgetInstallerTest, OnlyWindows7InstallsTheGadgetAndTheCopy) {
    struct Case {
        const char* name;
        std::optional<platform::WindowsVersion> version;
        bool installs;
        fs::path GadgetEnvironment::*unknownFolder = nullptr;
    };
    const Case cases[] = {
        {"6.1", platform::WindowsVersion{6, 1}, true},   {"7.0", platform::WindowsVersion{7, 0}, true},
        {"7.5", platform::WindowsVersion{7, 5}, true},   {"6.0", platform::WindowsVersion{6, 0}, false},
        {"6.2", platform::WindowsVersion{6, 2}, false},  {"10.0", platform::WindowsVersion{10, 0}, false},
        {"5.1", platform::WindowsVersion{5, 1}, false},  {"query failed", std::nullopt, false},
        {"6.1, no profile folder", platform::WindowsVersion{6, 1}, false, &GadgetEnvironment::profileFolder},
        {"6.1, no Windows folder", platform::WindowsVersion{6, 1}, false, &GadgetEnvironment::windowsFolder},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GadgetRig rig(c.version);
        GadgetEnvironment environment = rig.environment;
        if (c.unknownFolder) environment.*c.unknownFolder = fs::path();
        const WorkingFolder relativePathsLandHere(rig.environment.workingFolder);
        GadgetInstaller installer(environment);
        installer.Install();
        EXPECT_EQ(installer.enabled(), c.installs);
        installer.RefreshCopy();  // a sampling tick
        if (!c.installs) {
            EXPECT_FALSE(fs::exists(rig.Destination()));
            EXPECT_TRUE(TempDir::Entries(rig.environment.windowsFolder).empty());
            EXPECT_EQ(TempDir::Entries(rig.environment.workingFolder),
                      (std::vector<std::string>{"CurrInfo.xml", GadgetInstaller::kFolderName}));
            continue;
        }
        EXPECT_EQ(installer.destination(), rig.Destination());
        EXPECT_EQ(installer.currentStateCopy(), rig.Copy());
        ASSERT_EQ(TempDir::Entries(rig.Destination()).size(), 7u);
        for (const char* file : GadgetInstaller::kFiles)
            EXPECT_EQ(TempDir::ReadFile(rig.Destination() / file),
                      TempDir::ReadFile(fs::path(VX_TEST_ASSETS) / GadgetInstaller::kFolderName / file))
                << file;
        EXPECT_EQ(TempDir::ReadFile(rig.Copy()), "<Info><Temp>41</Temp></Info>");
    }
}

TEST(GadgetInstallerTest, AnInstalledGadgetStaysButItsCopyIsRefreshedEveryTick) {
    GadgetRig rig(platform::WindowsVersion{6, 1});
    TempDir::WriteFile(rig.Destination() / "gadget.html", "older gadget");
    GadgetInstaller installer(rig.environment);
    installer.Install();
    EXPECT_TRUE(installer.enabled());
    EXPECT_EQ(TempDir::Entries(rig.Destination()), std::vector<std::string>{"gadget.html"});
    EXPECT_EQ(TempDir::ReadFile(rig.Destination() / "gadget.html"), "older gadget");
    for (const char* state : {"<Info><Temp>50</Temp></Info>", "<Info><Temp>51</Temp></Info>"}) {
        rig.WriteState(state);
        installer.RefreshCopy();
        EXPECT_EQ(TempDir::ReadFile(rig.Copy()), state);
    }
    EXPECT_EQ(TempDir::Entries(rig.environment.windowsFolder), std::vector<std::string>{"CurrInfo.xml"});
}

// The page must read the state document where the installer puts it.
TEST(GadgetInstallerTest, ShippedScriptReadsTheCopyInTheWindowsFolder) {
    const std::string script =
        TempDir::ReadFile(fs::path(VX_TEST_ASSETS) / GadgetInstaller::kFolderName / "gadget.js");
    EXPECT_NE(script.find("CurrInfo.xml"), std::string::npos);
    EXPECT_NE(script.find("windir"), std::string::npos);
}

}  // namespace
}  // namespace vx::app
