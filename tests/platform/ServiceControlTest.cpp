#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/posix/SystemdServiceControl.h"
#include "support/TempDir.h"

namespace vx::platform {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using State = ServiceControl::State;

// Stand-in systemctl programs written as small shell scripts in a temporary folder.
class ServiceControlTest : public ::testing::Test {
protected:
    fs::path FakeSystemctl(const std::string& body) {
        const fs::path script = dir_ / ("systemctl-" + std::to_string(++count_));
        test::TempDir::WriteFile(script, "#!/bin/sh\n" + body + "\n");
        fs::permissions(script, fs::perms::owner_all);
        return script;
    }

    State QueryWith(const std::string& body, const std::string& name = "TestServices") {
        SystemdServiceControl control(FakeSystemctl(body).string(), 2000ms);
        return control.Query(name);
    }

    static std::string ReadText(const fs::path& file) {
        const std::string text = test::TempDir::ReadFile(file);
        return text == "<missing>" ? std::string() : text;
    }

    test::TempDir temp_;
    const fs::path dir_ = temp_.path();
    int count_ = 0;
};

TEST_F(ServiceControlTest, UnknownServiceOrMissingSystemctlIsNotInstalled) {
    // Whatever this machine runs: an unknown unit, or no systemd at all.
    EXPECT_EQ(SystemdServiceControl().Query("vx-no-such-service-4711"), State::NotInstalled);
    SystemdServiceControl missing((dir_ / "no-systemctl").string(), 500ms);
    EXPECT_EQ(missing.Query("TestServices"), State::NotInstalled);
}

TEST_F(ServiceControlTest, AsksForBothStatesOfTheServiceUnit) {
    const fs::path args = dir_ / "args";
    const std::string record = "echo \"$@\" > '" + args.string() + "'\necho LoadState=not-found\n"
                               "echo ActiveState=inactive";
    EXPECT_EQ(QueryWith(record), State::NotInstalled);
    const std::string expected = "show --no-pager -p LoadState -p ActiveState -- ";
    EXPECT_EQ(ReadText(args), expected + "TestServices.service\n");
    EXPECT_EQ(QueryWith(record, "lcm@card0.service"), State::NotInstalled);
    EXPECT_EQ(ReadText(args), expected + "lcm@card0.service\n");
}

TEST_F(ServiceControlTest, StatesFromTheUnitsProperties) {
    EXPECT_EQ(QueryWith("echo LoadState=loaded; echo ActiveState=active"), State::Running);
    // systemctl lists properties in its own order, not the order asked.
    EXPECT_EQ(QueryWith("echo ActiveState=active; echo LoadState=loaded"), State::Running);
    EXPECT_EQ(QueryWith("echo LoadState=loaded; echo ActiveState=activating"), State::Running);
    EXPECT_EQ(QueryWith("echo LoadState=loaded; echo ActiveState=inactive"), State::Stopped);
    EXPECT_EQ(QueryWith("echo LoadState=loaded; echo ActiveState=failed"), State::Stopped);
    EXPECT_EQ(QueryWith("echo LoadState=masked; echo ActiveState=inactive"), State::Stopped);
    EXPECT_EQ(QueryWith("echo LoadState=not-found; echo ActiveState=inactive"),
              State::NotInstalled);
    EXPECT_EQ(QueryWith("echo garbage"), State::NotInstalled);
    EXPECT_EQ(QueryWith(""), State::NotInstalled);
    // An answer on a failing run is not trusted, and endless output is cut off.
    EXPECT_EQ(QueryWith("echo LoadState=loaded; echo ActiveState=active; exit 1"),
              State::NotInstalled);
    EXPECT_EQ(QueryWith("echo LoadState=loaded; echo ActiveState=active; yes"), State::NotInstalled);
}

TEST_F(ServiceControlTest, StartStopAndPollingOfAUserUnit) {
    const fs::path args = dir_ / "args";
    const auto control = [&](const std::string& answer) {
        return SystemdServiceControl(
            FakeSystemctl("echo \"$@\" >> '" + args.string() + "'\n" + answer).string(), 2000ms, true);
    };
    EXPECT_TRUE(control("exit 0").Start("TestServices"));
    EXPECT_TRUE(control("exit 0").Stop("TestServices"));
    EXPECT_FALSE(control("exit 5").Start("TestServices"));  // refused: the unit or the manager said no
    EXPECT_FALSE(control("exit 0").Stop("-x"));
    EXPECT_EQ(ReadText(args), "--user start --no-block -- TestServices.service\n"
                              "--user stop --no-block -- TestServices.service\n"
                              "--user start --no-block -- TestServices.service\n");

    struct Case {
        const char* answer;
        bool answered;
        State state;
        bool changing;
    };
    const Case cases[] = {
        {"echo LoadState=loaded; echo ActiveState=activating", true, State::Running, true},
        {"echo LoadState=loaded; echo ActiveState=deactivating", true, State::Running, true},
        {"echo LoadState=loaded; echo ActiveState=active", true, State::Running, false},
        {"echo LoadState=loaded; echo ActiveState=inactive", true, State::Stopped, false},
        {"echo LoadState=not-found; echo ActiveState=inactive", true, State::NotInstalled, false},
        {"exit 1", false, State::NotInstalled, false},
    };
    for (const Case& c : cases) {
        const ServiceControl::Status status = control(c.answer).QueryStatus("TestServices");
        EXPECT_EQ(status.answered, c.answered) << c.answer;
        EXPECT_EQ(status.state, c.state) << c.answer;
        EXPECT_EQ(status.changing, c.changing) << c.answer;
        EXPECT_EQ(status.waitHint, c.answered ? SystemdServiceControl::kPollInterval : 0ms) << c.answer;
    }
}

TEST_F(ServiceControlTest, InvalidNamesRunNothing) {
    const fs::path marker = dir_ / "ran";
    const fs::path script = FakeSystemctl("touch '" + marker.string() + "'\necho LoadState=loaded\n"
                                          "echo ActiveState=active");
    SystemdServiceControl control(script.string(), 2000ms);
    const std::string names[] = {"",       "-H",       "--host=x", "a b",
                                 "x;reboot", "../etc", "svc$(id)", "svc\n",
                                 std::string(201, 'a')};
    for (const std::string& name : names)
        EXPECT_EQ(control.Query(name), State::NotInstalled) << name;
    EXPECT_FALSE(fs::exists(marker));
    EXPECT_EQ(control.Query(std::string(200, 'a')), State::Running);
    EXPECT_TRUE(fs::exists(marker));
}

TEST_F(ServiceControlTest, HungSystemctlDoesNotHangTheQuery) {
    const fs::path pidFile = dir_ / "pid";
    // The shell starts a child that keeps the output open: both must go.
    SystemdServiceControl control(
        FakeSystemctl("sleep 30 &\necho $! > '" + pidFile.string() + "'\nwait").string(), 200ms);
    EXPECT_EQ(control.Query("TestServices"), State::NotInstalled);
    // On a loaded machine the shell may be killed before it noted the child's id.
    const int pid = std::atoi(ReadText(pidFile).c_str());
    if (pid <= 0) return;
    // The killed child may linger as a zombie for a moment, but no longer runs.
    bool gone = false;
    for (int i = 0; i < 200 && !gone; ++i) {
        const std::string state = ReadText("/proc/" + std::to_string(pid) + "/stat");
        gone = state.empty() || state.find(") Z") != std::string::npos;
        if (!gone) ::usleep(1000);
    }
    EXPECT_TRUE(gone);
}

}  // namespace
}  // namespace vx::platform
