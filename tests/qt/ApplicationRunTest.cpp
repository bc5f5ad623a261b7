// The built program, run as a user runs it on a simulated rig, in a clean home.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <regex>
#include <sstream>
#include <thread>

#include "support/ChildProcess.h"
#include "support/CleanHome.h"
#include "support/TempDir.h"

namespace vx::test {
namespace {

// Standard output carries the program's own lines only: the summary, the GPU and sample lines,
// the headless notes. A diagnostic line among them breaks the feed for whoever reads it.
std::string ForeignLines(const std::string& out) {
    static const std::regex own("Veltrix Plus .*|GPU[0-9] .*|Running without a window; Ctrl\\+C ends it\\.|Stopped\\.");
    std::istringstream in(out);
    std::string foreign;
    for (std::string line; std::getline(in, line);)
        if (!std::regex_match(line, own)) foreign += line + "\n";
    return foreign;
}

class ApplicationRunTest : public ::testing::Test {
protected:
    std::map<std::string, std::string> Env() const { return home_.Env(false); }
    std::filesystem::path OutDir(const std::string& name) const { return home_.OutDir(name); }
    /// The on-screen display's feed file of a run.
    std::filesystem::path FeedFile() const { return home_.path() / "run/veltrix-plus-osd.txt"; }

    CleanHome home_;
};

TEST_F(ApplicationRunTest, HeadlessPrintsEveryGpuAndEndsCleanlyOnTerminationSignals) {
    for (int signal : {SIGINT, SIGTERM}) {
        ChildProcess app(VX_APP_BINARY, {"--simulate", "--headless"}, Env(), OutDir(std::to_string(signal)));
        ASSERT_TRUE(app.WaitForOutput("Running without a window")) << app.Stdout() << app.Stderr();
        const std::string out = app.Stdout();
        EXPECT_NE(out.find("GPU0 "), std::string::npos);
        EXPECT_NE(out.find(" 1b82\n"), std::string::npos) << out;
        EXPECT_NE(out.find("GPU1 "), std::string::npos);
        // Without a window no graphics library is mapped: they were most of a headless run's memory.
        const std::string maps = TempDir::ReadFile("/proc/" + std::to_string(app.pid()) + "/maps");
        EXPECT_NE(maps.find("libQt6Core"), std::string::npos) << maps;
        EXPECT_EQ(maps.find("libQt6Gui"), std::string::npos);
        app.Signal(signal);
        EXPECT_EQ(app.Wait(), 0);
    }
    EXPECT_TRUE(std::filesystem::exists(home_.path() / "config/veltrix-plus/registry.ini"));
}

TEST_F(ApplicationRunTest, HeadlessSamplePrintsOneLinePerGpuInTheMonitorForm) {
    ChildProcess app(VX_APP_BINARY, {"--simulate", "--headless"}, Env(), OutDir("lines"));
    ASSERT_TRUE(app.WaitForOutput("GPU1 temp=")) << app.Stdout() << app.Stderr();
    // The on-screen display's feed file holds the sample (temperature and fan are on by default)
    // and is gone once the program ended.
    std::string shown;  // written on a thread of its own, right after the sample
    for (int i = 0; i < 100 && (shown = TempDir::ReadFile(FeedFile())).rfind("GPU0", 0) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(shown.rfind("GPU0  TEMP:", 0), 0u) << shown;
    EXPECT_NE(shown.find("\xC2\xB0" "C  FAN:"), std::string::npos) << shown;
    app.Signal(SIGTERM);
    EXPECT_EQ(app.Wait(), 0);
    EXPECT_FALSE(std::filesystem::exists(FeedFile()));

    const std::regex form(
        "GPU([0-9]) temp=(-?[0-9]+) fan=(-?[0-9]+)% rpm=(-?[0-9]+) core=(-?[0-9]+) shader=(-?[0-9]+) "
        "mem=(-?[0-9]+) volt=(-?[0-9]+) load=(-?[0-9]+)% power=(-?[0-9]+)");
    std::istringstream out(app.Stdout());
    std::vector<std::string> lines;
    for (std::string line; std::getline(out, line);)
        if (line.rfind("GPU", 0) == 0 && line.find("temp=") != std::string::npos) lines.push_back(line);
    ASSERT_GE(lines.size(), 2u) << app.Stdout();
    EXPECT_EQ(ForeignLines(app.Stdout()), "");
    EXPECT_EQ(app.Stderr(), "") << "diagnostics are shown only with --verbose";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(lines[i], match, form)) << lines[i];
        EXPECT_EQ(std::stoi(match[1]), static_cast<int>(i % 2)) << "the GPUs in order, every sample";
        // The demo rig's boards are running: a temperature, a clock and a load are there.
        EXPECT_GT(std::stoi(match[2]), 0) << lines[i];
        EXPECT_GT(std::stoi(match[5]), 0) << lines[i];
        EXPECT_GT(std::stoi(match[9]), 0) << lines[i];
    }
}

TEST_F(ApplicationRunTest, WindowedRunBuildsTheMainWindowAndEndsCleanly) {
    auto env = Env();
    env["QT_QPA_PLATFORM"] = "offscreen";
    ChildProcess app(VX_APP_BINARY, {"--simulate"}, env, OutDir("window"));
    ASSERT_TRUE(app.WaitForOutput("GPU1 ")) << app.Stdout() << app.Stderr();
    for (int i = 0; i < 100 && !std::filesystem::exists(FeedFile()); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(std::filesystem::exists(FeedFile())) << "a sample reached the on-screen display";
    // The signal is served by the event loop, so the window and its controller were built
    // and set up before it ends, and taken down in order after.
    app.Signal(SIGTERM);
    EXPECT_EQ(app.Wait(), 0) << app.Stderr();
    EXPECT_FALSE(std::filesystem::exists(FeedFile())) << "the window's quit stops the feed";
    EXPECT_EQ(app.Stdout().find("Running without a window"), std::string::npos);
    EXPECT_EQ(ForeignLines(app.Stdout()), "");
}

TEST_F(ApplicationRunTest, VerboseShowsTheDriverDiagnosticsOnTheErrorStreamOnly) {
    for (bool window : {false, true}) {
        auto env = home_.Env(window);
        std::vector<std::string> args{"--simulate", "--verbose"};
        if (!window) args.push_back("--headless");
        ChildProcess app(VX_APP_BINARY, args, env, OutDir(window ? "verbose-window" : "verbose"));
        ASSERT_TRUE(app.WaitForOutput(window ? "GPU1 " : "GPU1 temp=")) << app.Stdout() << app.Stderr();
        app.Signal(SIGTERM);
        EXPECT_EQ(app.Wait(), 0);
        EXPECT_EQ(ForeignLines(app.Stdout()), "") << window;
        EXPECT_NE(app.Stderr().find("Thermal policy info:"), std::string::npos) << app.Stderr();
        EXPECT_NE(app.Stderr().find("CLIENT_CLK CONTROL:"), std::string::npos) << app.Stderr();
    }
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

// A custom timing trial that a killed run left on the screen is reverted at the next start.
TEST_F(ApplicationRunTest, StartRevertsTheTimingTrialOfAKilledRun) {
    const std::filesystem::path marker = home_.path() / "data/veltrix-plus/pixel-clock-trial";
    TempDir::WriteFile(marker, std::to_string(0x80061001u) + "\n");
    ChildProcess app(VX_APP_BINARY, {"--simulate", "--headless"}, Env(), OutDir("trial"));
    ASSERT_TRUE(app.WaitForOutput("GPU1 temp=")) << app.Stdout() << app.Stderr();
    app.Signal(SIGTERM);
    EXPECT_EQ(app.Wait(), 0);
    EXPECT_FALSE(std::filesystem::exists(marker));
    EXPECT_NE(app.Stderr().find("Reverted the custom timing left on display 0x80061001 = 0"), std::string::npos)
        << app.Stderr();
    EXPECT_EQ(ForeignLines(app.Stdout()), "");
}

// What writes killed before their rename left behind goes at the next start; real files,
// other programs' files and anything newer than the process stay.
TEST_F(ApplicationRunTest, StartRemovesStaleTemporaryFilesOfKilledWrites) {
    namespace fs = std::filesystem;
    const fs::path data = home_.path() / "data/veltrix-plus", config = home_.path() / "config";
    const std::string id = ".tmp-0123456789abcdef-7";
    const std::vector<fs::path> stale = {data / (".UserSettings.txt" + id), data / "Profile" / (".3.ini" + id),
                                         config / "veltrix-plus" / (".registry.ini" + id),
                                         config / "autostart" / (".veltrix-plus.desktop" + id)};
    const std::vector<fs::path> kept = {data / "UserSettings.txt", config / "autostart" / (".other.desktop" + id),
                                        data / (".later.txt" + id), data / ".notes.txt.tmp-mine"};
    const auto now = fs::file_time_type::clock::now();
    for (const fs::path& file : stale) {
        TempDir::WriteFile(file, "partial");
        fs::last_write_time(file, now - std::chrono::minutes(1));
    }
    for (const fs::path& file : kept) TempDir::WriteFile(file, "kept");
    // Written after the process started: a write in progress, not a leftover.
    fs::last_write_time(kept[2], now + std::chrono::hours(1));

    ChildProcess app(VX_APP_BINARY, {"--simulate", "--headless", "OnlyApplySettings"}, Env(), OutDir("leftovers"));
    EXPECT_EQ(app.Wait(), 0) << app.Stderr();
    for (const fs::path& file : stale) EXPECT_FALSE(fs::exists(file)) << file;
    for (const fs::path& file : kept) EXPECT_EQ(TempDir::ReadFile(file), "kept") << file;
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
