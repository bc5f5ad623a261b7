// `--advanced` reaches the copy that already runs, over the instance channel, as the request
// "advanced"; without a running copy the starting copy keeps the lock and goes on.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "platform/InstanceRequests.h"
#include "platform/posix/PosixInstanceGuard.h"
#include "support/FakeShellServices.h"
#include "support/TempDir.h"

namespace vx::platform {
namespace {

TEST(AdvancedRequestTest, CommandLineTakesTheSwitchOffAndLeavesTheStartupSwitch) {
    const app::CommandLine cl = app::ParseCommandLine({"--advanced", "SysTray"});
    EXPECT_TRUE(cl.advanced);
    EXPECT_EQ(cl.switchText, "SysTray");
    EXPECT_TRUE(cl.errors.empty());
    EXPECT_FALSE(app::ParseCommandLine({"SysTray"}).advanced);
    EXPECT_NE(app::UsageText("veltrix-plus").find("--advanced"), std::string::npos);
}

TEST(AdvancedRequestTest, ReachesTheRunningCopyAsItsOwnRequest) {
    test::TempDir temp;
    PosixInstanceGuard first(temp.path());
    ASSERT_EQ(first.Acquire(), InstanceGuard::Result::Acquired);
    std::vector<std::string> received;
    first.OnRequest([&](const std::string& request) { received.push_back(request); });

    PosixInstanceGuard second(temp.path());
    EXPECT_TRUE(ForwardToRunningCopy(second, kAdvancedRequest)) << "the second copy leaves";
    PosixInstanceGuard third(temp.path());
    EXPECT_TRUE(ForwardToRunningCopy(third, kShowRequest));
    for (int i = 0; i < 100 && received.size() < 2; ++i) {
        first.Poll();
        if (received.size() < 2) ::usleep(1000);
    }
    EXPECT_EQ(received, (std::vector<std::string>{"advanced", "show"}));
}

TEST(AdvancedRequestTest, FirstCopyKeepsTheLockAndStartsNormally) {
    test::TempDir temp;
    PosixInstanceGuard only(temp.path());
    EXPECT_FALSE(ForwardToRunningCopy(only, kAdvancedRequest));
    EXPECT_EQ(only.Acquire(), InstanceGuard::Result::Acquired) << "start-up's own check still passes";
    PosixInstanceGuard later(temp.path());
    EXPECT_EQ(later.Acquire(), InstanceGuard::Result::AlreadyRunning);

    // A guard that cannot lock sends nothing; start-up then reports the failure itself.
    test::FakeInstanceGuard failing;
    failing.result = InstanceGuard::Result::Failed;
    EXPECT_FALSE(ForwardToRunningCopy(failing, kAdvancedRequest));
    EXPECT_TRUE(failing.sent.empty());
}

}  // namespace
}  // namespace vx::platform
