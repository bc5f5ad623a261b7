// The built program restoring the saved hardware settings at start-up, on a simulated rig
// whose written state survives the process.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/CleanHome.h"
#include "support/TempDir.h"

namespace vx::test {
namespace {

class SettingsRestoreRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string rig = TempDir::ReadFile(std::filesystem::path(VX_TEST_ASSETS) / "rigs" / "demo.json");
        const std::size_t persist = rig.find("\"persist\": false");
        ASSERT_NE(persist, std::string::npos);
        rig.replace(persist, 16, "\"persist\": true");
        TempDir::WriteFile(rigPath_, rig);
    }

    // Runs the program with the startup switch; its exit status, -1 when it stayed up.
    int RunOnlyApplySettings(const std::string& name, std::string* out = nullptr, std::string* err = nullptr,
                             bool headless = false) {
        const auto outDir = OutDir(name);
        std::vector<std::string> args{"--simulate=" + rigPath_.string(), "--data-dir", dataDir_.string(),
                                      "OnlyApplySettings"};
        if (headless) args.insert(args.begin(), "--headless");
        ChildProcess app(VX_APP_BINARY, args, Env(), outDir);
        const std::optional<int> status = app.Wait();
        if (out) *out = app.Stdout() + app.Stderr();
        if (err) *err = app.Stderr();
        return status ? *status : -1;
    }

    void WriteUserSettings(const std::string& text) {
        std::string bytes = "\xFF\xFE";
        for (char c : text) {
            bytes += c;
            bytes += '\0';
        }
        TempDir::WriteFile(dataDir_ / "UserSettings.txt", bytes);
    }

    std::string State() const { return TempDir::ReadFile(rigPath_.string() + ".state.json"); }
    static bool Holds(const std::string& state, const std::string& entry) {
        return state.find(entry) != std::string::npos;
    }

    std::map<std::string, std::string> Env() const { return home_.Env(true); }
    std::filesystem::path OutDir(const std::string& name) const { return home_.OutDir(name); }

    CleanHome home_;
    std::filesystem::path rigPath_ = home_.path() / "rig" / "demo.json";
    std::filesystem::path dataDir_ = home_.path() / "program";
};

TEST_F(SettingsRestoreRunTest, OnlyApplySettingsPutsTheSavedValuesBackAndLeavesWithoutAWindow) {
    WriteUserSettings(
        "[Gpu1]\r\nId=1b82\r\nFanWorkMode=2\r\nFanSpeed=72\r\nPowerTarget=105\r\n"
        "[Gpu2]\r\nId=1184\r\nDyaGpuClock=80\r\nDyaMemClock=0\r\nPowerTarget=95\r\n");

    std::string output;
    ASSERT_EQ(RunOnlyApplySettings("first", &output), 0) << output;
    std::string state = State();
    ASSERT_TRUE(Holds(state, "\"level\": 72")) << state;
    ASSERT_TRUE(Holds(state, "\"milliPercent\": 105000")) << state;
    ASSERT_TRUE(Holds(state, "\"milliPercent\": 95000")) << state;
    ASSERT_TRUE(Holds(state, "\"deltaKhz\": 80000")) << state;

    // The hardware changes while the program is not running.
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"\"level\": 72", "\"level\": 41"},
                                   {"\"milliPercent\": 105000", "\"milliPercent\": 100000"},
                                   {"\"milliPercent\": 95000", "\"milliPercent\": 100000"},
                                   {"\"deltaKhz\": 80000", "\"deltaKhz\": 0"}})
        state.replace(state.find(from), from.size(), to);
    TempDir::WriteFile(rigPath_.string() + ".state.json", state);
    ASSERT_FALSE(Holds(State(), "\"level\": 72"));

    ASSERT_EQ(RunOnlyApplySettings("second", &output), 0) << output;
    EXPECT_EQ(output.find("GPU0 "), std::string::npos) << "no window and no session: " << output;
    state = State();
    EXPECT_TRUE(Holds(state, "\"level\": 72")) << state;
    EXPECT_TRUE(Holds(state, "\"milliPercent\": 105000")) << state;
    EXPECT_TRUE(Holds(state, "\"milliPercent\": 95000")) << state;
    EXPECT_TRUE(Holds(state, "\"deltaKhz\": 80000")) << state;
    EXPECT_TRUE(std::filesystem::exists(dataDir_ / "UserSettings.txt")) << "a restore never deletes the file";
}

TEST_F(SettingsRestoreRunTest, SettingsOfAnotherMachineChangeNothing) {
    WriteUserSettings("[Gpu1]\r\nId=1b80\r\nFanWorkMode=2\r\nFanSpeed=72\r\n[Gpu2]\r\nId=0001\r\nDyaGpuClock=80\r\n");
    std::string output;
    ASSERT_EQ(RunOnlyApplySettings("other", &output), 0) << output;
    EXPECT_FALSE(Holds(State(), "\"level\": 72"));
    EXPECT_FALSE(Holds(State(), "\"deltaKhz\": 80000"));
}

TEST_F(SettingsRestoreRunTest, RefusedVfPointWritesReachTheUserAsMessages) {
    // Beyond the demo board's graphics offset range: the driver refuses every point.
    WriteUserSettings("[Gpu1]\r\nId=1b82\r\nGpuVF=2000000\r\n");
    std::string output, errors;
    ASSERT_EQ(RunOnlyApplySettings("refused", &output, &errors, true), 0) << output;
    // Every point is still written, but the user sees one box for the pass, not one per point.
    const std::string box =
        "[warning] Veltrix Plus: NvAPI_GPU_ClockClientClkVfPointsSetControl API call failed with error -5";
    int boxes = 0;
    for (std::size_t at = errors.find(box); at != std::string::npos; at = errors.find(box, at + 1)) ++boxes;
    EXPECT_EQ(boxes, 1) << errors;
}

}  // namespace
}  // namespace vx::test
