#include <gtest/gtest.h>

#include "app/CommandLine.h"
#include "app/GpuSummary.h"

namespace vx::app {
namespace {

TEST(CommandLineTest, OwnOptionsAreTakenOffTheRestIsTheSwitchTextAndMistakesAreReported) {
    const CommandLine cl = ParseCommandLine({"--simulate=rigs/a.json", "--data-dir", "/tmp/d", "SysTray", "--headless", "--verbose"});
    EXPECT_TRUE(cl.simulate);
    EXPECT_EQ(cl.rigFile, std::filesystem::path("rigs/a.json"));
    EXPECT_EQ(cl.dataDir, std::filesystem::path("/tmp/d"));
    EXPECT_TRUE(cl.headless);
    EXPECT_TRUE(cl.verbose);
    EXPECT_EQ(cl.switchText, "SysTray");
    EXPECT_TRUE(cl.errors.empty());

    // Several words stay together, so they match no switch.
    EXPECT_EQ(ParseCommandLine({"Only", "Apply"}).switchText, "Only Apply");
    EXPECT_EQ(ParseCommandLine({}).switchText, "");
    // A plain --simulate means the demo rig.
    EXPECT_TRUE(ParseCommandLine({"--simulate"}).simulate);
    EXPECT_FALSE(ParseCommandLine({"--simulate"}).rigFile);
    // Mistakes are reported, not ignored.
    for (const char* mistake : {"--data-dir", "--simulate=", "--nonsense"})
        EXPECT_EQ(ParseCommandLine({mistake}).errors.size(), 1u) << mistake;
}

TEST(CommandLineTest, AutostartRepeatsTheDriverAndFolderChoiceWithAbsolutePaths) {
    using Args = std::vector<std::string>;
    const std::string here = std::filesystem::current_path().string();
    struct Case {
        Args args;
        Args carried;
    };
    const Case cases[] = {
        {{"Minimize"}, {}},
        {{"--headless", "--advanced", "SysTray"}, {}},
        {{"--simulate"}, {"--simulate"}},
        {{"--simulate=rigs/my rig.json", "--data-dir=d"}, {"--simulate=" + here + "/rigs/my rig.json", "--data-dir", here + "/d"}},
        {{"--data-dir", "/srv/vx data", "--simulate=/r.json"}, {"--simulate=/r.json", "--data-dir", "/srv/vx data"}},
    };
    for (const Case& c : cases) EXPECT_EQ(AutostartOptions(ParseCommandLine(c.args)), c.carried) << c.args.size();
}

TEST(GpuSummaryTest, DriverVersionGetsAPointBeforeTheLastTwoDigitsAndGpuLinesNameTheGpu) {
    EXPECT_EQ(FormatDriverVersion(41091), "410.91");
    EXPECT_EQ(FormatDriverVersion(100), "1.00");
    EXPECT_EQ(FormatDriverVersion(99), "99");
    EXPECT_EQ(FormatDriverVersion(0), "0");
    // A GPU line names index, name and device ID.
    EXPECT_EQ(GpuLine({0, "GeForce GTX 1070 Ti", "1b82"}), "GPU0 GeForce GTX 1070 Ti 1b82");
    EXPECT_EQ(GpuLine({3, "", "1184"}), "GPU3 1184");
}

}  // namespace
}  // namespace vx::app
