// `veltrix-plus --advanced` as a user runs it, in a clean home: the first copy opens the
// advanced window with its main window; a later copy hands the request over and leaves.
#include <gtest/gtest.h>

#include <csignal>

#include "support/ChildProcess.h"
#include "support/CleanHome.h"
#include "support/TempDir.h"

namespace vx::test {
namespace {

class AdvancedRunTest : public ::testing::Test {
protected:
    std::map<std::string, std::string> Env() const { return home_.Env(true); }
    std::filesystem::path OutDir(const std::string& name) const { return home_.OutDir(name); }

    CleanHome home_;
};

TEST_F(AdvancedRunTest, FirstCopyOpensItAndALaterCopyHandsTheRequestOver) {
    ChildProcess first(VX_APP_BINARY, {"--simulate", "--advanced"}, Env(), OutDir("first"));
    ASSERT_TRUE(first.WaitForOutput("GPU1 ")) << first.Stdout() << first.Stderr();

    ChildProcess second(VX_APP_BINARY, {"--simulate", "--advanced"}, Env(), OutDir("second"));
    EXPECT_EQ(second.Wait(), 0);
    EXPECT_EQ(second.Stdout().find("GPU0"), std::string::npos) << "the second copy never starts the GPUs";
    EXPECT_TRUE(second.Stderr().empty()) << second.Stderr();

    // The first copy served the request on its loop and still ends cleanly, windows and all.
    first.Signal(SIGTERM);
    EXPECT_EQ(first.Wait(), 0) << first.Stderr();
}

}  // namespace
}  // namespace vx::test
