// The built program, run as a user runs it on a simulated rig, in a clean home.
#include <gtest/gtest.h>

#include <csignal>

#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace vx::test {
namespace {

class ApplicationRunTest : public ::testing::Test {
protected:
    std::map<std::string, std::string> Env() const {
        return {{"HOME", home_.path().string()},
                {"XDG_CONFIG_HOME", (home_.path() / "config").string()},
                {"XDG_DATA_HOME", (home_.path() / "data").string()},
                {"XDG_RUNTIME_DIR", (home_.path() / "run").string()},
                {"PATH", "/usr/bin:/bin"}};
    }
    std::filesystem::path OutDir(const std::string& name) const {
        const auto dir = home_.path() / "out" / name;
        std::filesystem::create_directories(dir);
        return dir;
    }

    TempDir home_;
};

TEST_F(ApplicationRunTest, HeadlessPrintsEveryGpuAndEndsCleanlyOnTerminationSignals) {
    for (int signal : {SIGINT, SIGTERM}) {
        ChildProcess app(VX_APP_BINARY, {"--simulate", "--headless"}, Env(), OutDir(std::to_string(signal)));
        ASSERT_TRUE(app.WaitForOutput("Running without a window")) << app.Stdout() << app.Stderr();
        const std::string out = app.Stdout();
        EXPECT_NE(out.find("GPU0 "), std::string::npos);
        EXPECT_NE(out.find(" 1b82\n"), std::string::npos) << out;
        EXPECT_NE(out.find("GPU1 "), std::string::npos);
        app.Signal(signal);
        EXPECT_EQ(app.Wait(), 0);
    }
    EXPECT_TRUE(std::filesystem::exists(home_.path() / "config/veltrix-plus/registry.ini"));
}

TEST_F(ApplicationRunTest, WindowedRunBuildsTheMainWindowAndEndsCleanly) {
    auto env = Env();
    env["QT_QPA_PLATFORM"] = "offscreen";
    ChildProcess app(VX_APP_BINARY, {"--simulate"}, env, OutDir("window"));
    ASSERT_TRUE(app.WaitForOutput("GPU1 ")) << app.Stdout() << app.Stderr();
    // The signal is served by the event loop, so the window and its controller were built
    // and set up before it ends, and taken down in order after.
    app.Signal(SIGTERM);
    EXPECT_EQ(app.Wait(), 0) << app.Stderr();
    EXPECT_EQ(app.Stdout().find("Running without a window"), std::string::npos);
}

TEST_F(ApplicationRunTest, SecondCopyDefersToTheFirstAndExitsAtOnce) {
    ChildProcess first(VX_APP_BINARY, {"--simulate", "--headless"}, Env(), OutDir("first"));
    ASSERT_TRUE(first.WaitForOutput("Running without a window")) << first.Stderr();
    ChildProcess second(VX_APP_BINARY, {"--simulate", "--headless"}, Env(), OutDir("second"));
    EXPECT_EQ(second.Wait(), 0);
    EXPECT_EQ(second.Stdout().find("GPU0"), std::string::npos) << "the second copy never starts the GPUs";
    EXPECT_TRUE(second.Stderr().empty()) << second.Stderr();
    first.Signal(SIGTERM);
    EXPECT_EQ(first.Wait(), 0);
}

TEST_F(ApplicationRunTest, OnlyApplySettingsExitsWithoutStayingUp) {
    ChildProcess app(VX_APP_BINARY, {"--simulate", "--headless", "OnlyApplySettings"}, Env(), OutDir("apply"));
    EXPECT_EQ(app.Wait(), 0);
    EXPECT_EQ(app.Stdout().find("Running"), std::string::npos);
}

TEST_F(ApplicationRunTest, BadRigFileIsNamedAndRefused) {
    const auto rig = home_.path() / "broken.json";
    TempDir::WriteFile(rig, "{ \"gpus\": 7 }");
    ChildProcess app(VX_APP_BINARY, {"--simulate=" + rig.string(), "--headless"}, Env(), OutDir("bad"));
    EXPECT_EQ(app.Wait(), 2);
    EXPECT_NE(app.Stderr().find("broken.json"), std::string::npos) << app.Stderr();
}

TEST_F(ApplicationRunTest, UnknownOptionPrintsUsage) {
    ChildProcess app(VX_APP_BINARY, {"--frobnicate"}, Env(), OutDir("usage"));
    EXPECT_EQ(app.Wait(), 2);
    EXPECT_NE(app.Stderr().find("Usage:"), std::string::npos);
}

}  // namespace
}  // namespace vx::test
