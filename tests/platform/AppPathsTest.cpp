#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "platform/AppPaths.h"
#include "support/TempDir.h"

namespace vx::platform {
namespace {
namespace fs = std::filesystem;

using test::TempDir;

class AppPathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : kVariables) {
            const char* value = std::getenv(name);
            if (value) saved_[name] = value;
            ::unsetenv(name);
        }
        cwd_ = fs::current_path();
    }
    void TearDown() override {
        fs::current_path(cwd_);
        for (const char* name : kVariables) {
            auto it = saved_.find(name);
            if (it != saved_.end())
                ::setenv(name, it->second.c_str(), 1);
            else
                ::unsetenv(name);
        }
    }

    static constexpr const char* kVariables[] = {"VXPLUS_HOME", "XDG_DATA_HOME",
                                                 "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "XDG_CACHE_HOME", "HOME"};
    std::map<std::string, std::string> saved_;
    TempDir temp_;
    const fs::path dir_ = temp_.path();
    fs::path cwd_;
};

TEST_F(AppPathsTest, DataFolderOptionBeatsEnvironmentBeatsXdg) {
    ::setenv("HOME", "/home/tester", 1);
    EXPECT_EQ(ResolveAppPaths(std::nullopt).dataDir,
              fs::path("/home/tester/.local/share/veltrix-plus"));

    ::setenv("XDG_DATA_HOME", "/xdg/data", 1);
    EXPECT_EQ(ResolveAppPaths(std::nullopt).dataDir, fs::path("/xdg/data/veltrix-plus"));

    ::setenv("VXPLUS_HOME", "/opt/vxhome", 1);
    EXPECT_EQ(ResolveAppPaths(std::nullopt).dataDir, fs::path("/opt/vxhome"));

    EXPECT_EQ(ResolveAppPaths(fs::path("/chosen")).dataDir, fs::path("/chosen"));
    // A relative option is taken from where the program was started.
    EXPECT_EQ(ResolveAppPaths(fs::path("mine")).dataDir, fs::current_path() / "mine");
}

TEST_F(AppPathsTest, EmptyOrRelativeVariablesAreIgnored) {
    ::setenv("HOME", "/home/tester", 1);
    ::setenv("VXPLUS_HOME", "", 1);
    ::setenv("XDG_DATA_HOME", "relative/data", 1);
    ::setenv("XDG_CONFIG_HOME", "", 1);
    ::setenv("XDG_RUNTIME_DIR", "run", 1);
    ::setenv("XDG_CACHE_HOME", "cache", 1);
    const AppPaths paths = ResolveAppPaths(std::nullopt);
    EXPECT_EQ(paths.cacheDir, fs::path("/home/tester/.cache/veltrix-plus"));
    EXPECT_EQ(paths.dataDir, fs::path("/home/tester/.local/share/veltrix-plus"));
    EXPECT_EQ(paths.configDir, fs::path("/home/tester/.config"));
    EXPECT_EQ(paths.runtimeDir, fs::path("/tmp/veltrix-plus-" + std::to_string(::getuid())));
}

TEST_F(AppPathsTest, ConfigRuntimeAndProgramFolders) {
    ::setenv("XDG_CONFIG_HOME", "/xdg/config", 1);
    ::setenv("XDG_RUNTIME_DIR", "/run/user/1234", 1);
    ::setenv("XDG_CACHE_HOME", "/xdg/cache", 1);
    const AppPaths paths = ResolveAppPaths(std::nullopt);
    EXPECT_EQ(paths.cacheDir, fs::path("/xdg/cache/veltrix-plus"));
    EXPECT_EQ(paths.configDir, fs::path("/xdg/config"));
    EXPECT_EQ(paths.runtimeDir, fs::path("/run/user/1234"));
    EXPECT_TRUE(paths.executable.is_absolute());
    EXPECT_TRUE(fs::is_regular_file(paths.executable));
    // A build-tree run finds the bundled assets (or an installed copy).
    EXPECT_TRUE(fs::is_directory(paths.templatesDir));
    EXPECT_TRUE(fs::exists(paths.templatesDir / "fonts" / "Arial.ttf"));
}

TEST_F(AppPathsTest, PrepareCopiesMissingTemplatesAndKeepsUserFiles) {
    AppPaths paths;
    paths.templatesDir = dir_ / "templates";
    paths.dataDir = dir_ / "home" / "data";
    TempDir::WriteFile(paths.templatesDir / "fonts" / "Arial.ttf", "template font");
    TempDir::WriteFile(paths.templatesDir / "rigs" / "demo.json", "template rig");
    TempDir::WriteFile(paths.templatesDir / "CurrInfo.xml", "template xml");
    TempDir::WriteFile(paths.templatesDir / "skin" / "apply.png", "read where installed");
    fs::create_directories(paths.templatesDir / "empty");
    TempDir::WriteFile(paths.dataDir / "rigs" / "demo.json", "user rig");
    TempDir::WriteFile(paths.dataDir / "UserSettings.txt", "user settings");

    ASSERT_TRUE(PrepareDataDir(paths));
    EXPECT_EQ(fs::current_path(), fs::canonical(paths.dataDir));
    EXPECT_TRUE(fs::is_directory(paths.dataDir / "Profile"));
    EXPECT_TRUE(fs::is_directory(paths.dataDir / "empty"));
    EXPECT_EQ(TempDir::ReadFile(paths.dataDir / "CurrInfo.xml"), "template xml");
    EXPECT_EQ(TempDir::ReadFile(paths.dataDir / "rigs" / "demo.json"), "user rig");
    EXPECT_EQ(TempDir::ReadFile(paths.dataDir / "UserSettings.txt"), "user settings");
    for (const char* readInPlace : {"skin", "fonts"}) EXPECT_FALSE(fs::exists(paths.dataDir / readInPlace));

    // A second start changes nothing the user edited and leaves no temporary files.
    TempDir::WriteFile(paths.dataDir / "CurrInfo.xml", "edited");
    ASSERT_TRUE(PrepareDataDir(paths));
    EXPECT_EQ(TempDir::ReadFile(paths.dataDir / "CurrInfo.xml"), "edited");
    size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(paths.dataDir)) {
        EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
        if (entry.is_regular_file()) ++files;
    }
    EXPECT_EQ(files, 3u);
}

TEST_F(AppPathsTest, DataFolderInsideTheTemplatesIsNotCopiedIntoItself) {
    AppPaths paths;
    paths.templatesDir = dir_ / "assets";
    paths.dataDir = dir_ / "assets" / "run";
    TempDir::WriteFile(paths.templatesDir / "rigs" / "demo.json", "rig");
    ASSERT_TRUE(PrepareDataDir(paths));
    EXPECT_EQ(TempDir::ReadFile(paths.dataDir / "rigs" / "demo.json"), "rig");
    EXPECT_FALSE(fs::exists(paths.dataDir / "run"));
}

TEST_F(AppPathsTest, PrepareFailsWhenTheFolderCannotBeMade) {
    TempDir::WriteFile(dir_ / "file", "x");
    AppPaths paths;
    paths.dataDir = dir_ / "file" / "data";
    paths.templatesDir = dir_ / "missing";
    EXPECT_FALSE(PrepareDataDir(paths));
    EXPECT_EQ(fs::current_path(), cwd_);

    paths.dataDir.clear();
    EXPECT_FALSE(PrepareDataDir(paths));
}

}  // namespace
}  // namespace vx::platform
