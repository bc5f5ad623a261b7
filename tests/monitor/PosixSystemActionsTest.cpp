// The power-off request: the command lines tried, and running them bounded and without a shell.
// Only harmless programs are run here.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "platform/posix/PosixSystemActions.h"
#include "support/TempDir.h"

namespace vx::platform {
namespace {

TEST(PosixSystemActionsTest, ShutdownCommandsNeverComeSoonerThanAsked) {
    const auto commands = PosixSystemActions::ShutdownCommands(10, "GPU 1 temperature is too high!!!\n", "sc", "sd");
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0], (std::vector<std::string>{"sc", "poweroff", "--when=+10s",
                                                     "--message=GPU 1 temperature is too high!!!"}));
    EXPECT_EQ(commands[1], (std::vector<std::string>{"sd", "-P", "+1", "GPU 1 temperature is too high!!!"}));
    EXPECT_EQ(PosixSystemActions::ShutdownCommands(61, "m", "sc", "sd")[1][2], "+2");
    EXPECT_EQ(PosixSystemActions::ShutdownCommands(0, "m", "sc", "sd")[1][2], "now");
}

TEST(PosixSystemActionsTest, RunsBoundedAndFallsBackToTheNextCommand) {
    EXPECT_EQ(PosixSystemActions::RunBounded({"/bin/true"}, std::chrono::seconds(5)), 0);
    EXPECT_EQ(PosixSystemActions::RunBounded({"/bin/false"}, std::chrono::seconds(5)), 1);
    EXPECT_EQ(PosixSystemActions::RunBounded({"/nonexistent/vx-shutdown"}, std::chrono::seconds(5)), -1);
    EXPECT_EQ(PosixSystemActions::RunBounded({}, std::chrono::seconds(5)), -1);

    test::TempDir dir;
    const std::string hanging = (dir / "hang.sh").string();
    test::TempDir::WriteFile(hanging, "#!/bin/sh\nexec sleep 30\n");
    ASSERT_EQ(::chmod(hanging.c_str(), 0755), 0);
    EXPECT_EQ(PosixSystemActions::RunBounded({hanging}, std::chrono::milliseconds(50)), -1);

    EXPECT_TRUE(PosixSystemActions("/bin/false", "/bin/true").ScheduleShutdown(10, "m"));
    EXPECT_FALSE(PosixSystemActions("/bin/false", "/nonexistent/vx-shutdown").ScheduleShutdown(10, "m"));
}

}  // namespace
}  // namespace vx::platform
