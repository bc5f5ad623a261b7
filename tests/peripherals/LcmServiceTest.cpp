// The LCD module's service: toggle polling over a fake service manager, the dialog's buttons,
// and the install scripts run for real against a stand-in systemctl in a folder with blanks.
#include "peripherals/LcmService.h"

#include "support/ChildProcess.h"
#include "support/FakeClock.h"
#include "support/FakeShellServices.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

namespace vx::peripherals {
namespace {

namespace fs = std::filesystem;
using State = platform::ServiceControl::State;
using Status = platform::ServiceControl::Status;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace std::chrono_literals;

Status Answer(State state, bool changing = false) { return {true, state, changing, 300ms}; }
const Status kFailedQuery{};

class RecordingLauncher : public platform::ProcessLauncher {
public:
    bool Start(const fs::path& program) override {
        started.push_back(program);
        return true;
    }
    bool Running() override { return false; }
    bool Terminate() override { return false; }
    std::vector<fs::path> started;
};

struct ToggleCase {
    const char* name;
    std::vector<Status> answers;  // the first is the toggle's own query, then the polls
    bool accept;
    bool runningBefore;
    bool runningAfter;
    std::vector<std::string> requests;
    const char* message;  // nullptr: none
    uint64_t slept;
};

TEST(LcmServiceTest, TogglePollsByTheWaitHint) {
    const ToggleCase cases[] = {
        {"running stops", {Answer(State::Running), Answer(State::Running, true), Answer(State::Stopped)}, true, true,
         false, {"stop TestServices"}, "stop success.", 300},
        {"stopped starts", {Answer(State::Stopped), Answer(State::Running, true), Answer(State::Running, true),
                            Answer(State::Running)}, true, true, true, {"start TestServices"}, "start success.", 600},
        {"failed query while stopping", {Answer(State::Running), Answer(State::Running, true), kFailedQuery}, true,
         true, true, {"stop TestServices"}, nullptr, 300},
        {"failed query while starting", {Answer(State::Stopped), kFailedQuery}, true, true, false,
         {"start TestServices"}, nullptr, 0},
        {"stop refused", {Answer(State::Running)}, false, true, true, {"stop TestServices"}, nullptr, 0},
        {"not installed", {Answer(State::NotInstalled)}, true, false, false, {}, nullptr, 0},
        {"cannot be asked", {kFailedQuery}, true, true, true, {}, nullptr, 0},
        {"on its way", {Answer(State::Stopped, true)}, true, false, true, {}, nullptr, 0},
    };
    for (const ToggleCase& c : cases) {
        test::FakeServiceControl control;
        control.polls.assign(c.answers.begin(), c.answers.end());
        control.state = c.answers.back().state;
        control.accept = c.accept;
        test::ScriptedPrompts prompts;
        test::FakeClock clock;
        LcmService service(control, prompts, clock, true, c.runningBefore);
        service.ToggleLcmService();
        EXPECT_EQ(service.running(), c.runningAfter) << c.name;
        EXPECT_EQ(control.requests, c.requests) << c.name;
        EXPECT_EQ(clock.slept.load(), c.slept) << c.name;
        if (c.message) {
            ASSERT_EQ(prompts.shown.size(), 1u) << c.name;
            EXPECT_EQ(prompts.shown[0].text, c.message) << c.name;
        } else {
            EXPECT_TRUE(prompts.shown.empty()) << c.name;
        }
    }
}

TEST(LcmServiceTest, AServiceThatNeverSettlesEndsTheWait) {
    test::FakeServiceControl control;
    control.state = State::Running;
    control.polls = {Answer(State::Running)};
    test::ScriptedPrompts prompts;
    test::FakeClock clock;
    LcmService service(control, prompts, clock, true, true);
    service.ToggleLcmService();  // the stop is accepted but the unit keeps running
    EXPECT_TRUE(service.running());
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(clock.slept.load(), 100u * LcmService::kMaxPolls);
}

TEST(LcmServiceTest, DialogShowsWhatTheFlagsSay) {
    test::FakeServiceControl control;
    test::ScriptedPrompts prompts;
    test::FakeClock clock;
    RecordingLauncher launcher;
    for (const bool installed : {false, true}) {
        LcmService service(control, prompts, clock, installed, installed);
        CLCMServicesDlg dialog(service, launcher, "/data dir");
        dialog.OnInitDialog();
        EXPECT_EQ(dialog.startStop.visible, installed);
        EXPECT_EQ(dialog.uninstall.visible, installed);
        EXPECT_EQ(dialog.install.visible, !installed);
        EXPECT_EQ(dialog.cancel.visible, !installed);
        EXPECT_EQ(dialog.runningRadio.checked, installed);
        EXPECT_EQ(dialog.stoppedRadio.checked, !installed);
    }
    // Uninstall stops the running service first, without a word, then runs the script.
    control.polls = {Answer(State::Running), Answer(State::Stopped)};
    LcmService service(control, prompts, clock, true, true);
    CLCMServicesDlg dialog(service, launcher, "/data dir");
    EXPECT_TRUE(dialog.OnInstall());
    EXPECT_TRUE(dialog.OnUninstall());
    EXPECT_THAT(control.requests, ElementsAre("stop TestServices"));
    EXPECT_FALSE(service.running());
    EXPECT_THAT(launcher.started, ElementsAre(fs::path("/data dir/setupservices.sh"), fs::path("/data dir/deleteservices.sh")));
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(dialog.OnStartStop(), CLCMServicesDlg::kClosedOk);
}

// The generated scripts, run for real in a program folder with blanks and a "%" in it.
class LcmScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::TempDir::WriteFile(program_ / kLcmServiceProgram, "#!/bin/sh\nexit 0\n");
        fs::permissions(program_ / kLcmServiceProgram, fs::perms::owner_all);
        test::TempDir::WriteFile(bin_ / "systemctl", "#!/bin/sh\necho \"$@\" >> '" + (temp_.path() / "calls").string() + "'\n");
        fs::permissions(bin_ / "systemctl", fs::perms::owner_all);
        ASSERT_TRUE(LcmService::WriteServiceScripts(program_));
    }
    std::optional<int> RunScript(const char* name) {
        test::ChildProcess child((program_ / name).string(), {},
                                 {{"PATH", bin_.string() + ":/usr/bin:/bin"}, {"HOME", (temp_.path() / "home").string()},
                                  {"XDG_CONFIG_HOME", config_.string()}},
                                 temp_.path());
        return child.Wait();
    }

    test::TempDir temp_;
    const fs::path program_ = temp_.path() / "Veltrix Plus 100%";
    const fs::path bin_ = temp_.path() / "bin";
    const fs::path config_ = temp_.path() / "config dir";
    const fs::path unit_ = config_ / "systemd/user/TestServices.service";
};

TEST_F(LcmScriptTest, SetupInstallsAUnitThatRunsTheProgramAndDeleteRemovesIt) {
    ASSERT_EQ(RunScript(kLcmSetupScript), 0);
    const std::string unit = test::TempDir::ReadFile(unit_);
    EXPECT_EQ(unit, *LcmUnitText(program_));
    EXPECT_THAT(unit, HasSubstr("ExecStart=\"" + program_.parent_path().string() + "/Veltrix Plus 100%%/TestService\"\n"));
    EXPECT_EQ(test::TempDir::ReadFile(temp_.path() / "calls"), "--user daemon-reload\n--user enable TestServices.service\n");

    // systemd itself reads the unit back, when this machine has it.
    if (std::system("systemd-analyze --version >/dev/null 2>&1") == 0) {
        const fs::path copy = temp_.path() / "TestServices.service";
        test::TempDir::WriteFile(copy, unit);
        const std::string command = "systemd-analyze verify --man=no '" + copy.string() + "' > '" +
                                    (temp_.path() / "verify").string() + "' 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << test::TempDir::ReadFile(temp_.path() / "verify");
    }

    ASSERT_EQ(RunScript(kLcmDeleteScript), 0);
    EXPECT_FALSE(fs::exists(unit_));
    EXPECT_THAT(test::TempDir::ReadFile(temp_.path() / "calls"),
                HasSubstr("--user disable TestServices.service\n--user daemon-reload\n"));
}

TEST(LcmUnitTextTest, QuotesWhatSystemdWouldExpandAndRefusesLineBreaks) {
    const std::string unit = *LcmUnitText("/opt/a \"b\" $HOME\\c");
    EXPECT_THAT(unit, HasSubstr("ExecStart=\"/opt/a \\\"b\\\" $$HOME\\\\c/TestService\"\n"));
    EXPECT_THAT(unit, HasSubstr("WorkingDirectory=/opt/a \"b\" $HOME\\c\n"));
    EXPECT_EQ(LcmUnitText("/opt/a\nExecStartPre=/bin/evil"), std::nullopt);
    EXPECT_EQ(LcmSetupScriptText("/opt/tab\there"), std::nullopt);
    // Without a setup script the delete script is still written.
    test::TempDir temp;
    const fs::path odd = temp.path() / "line\nbreak";
    fs::create_directories(odd);
    EXPECT_FALSE(LcmService::WriteServiceScripts(odd));
    EXPECT_FALSE(fs::exists(odd / kLcmSetupScript));
    EXPECT_TRUE(fs::exists(odd / kLcmDeleteScript));
}

}  // namespace
}  // namespace vx::peripherals
