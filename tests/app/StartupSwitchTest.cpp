#include <gtest/gtest.h>

#include <string>

#include "app/StartupSwitch.h"

namespace vx::app {
namespace {

TEST(StartupSwitch, MatchesTheWholeTextInAnyLetterCase) {
    EXPECT_EQ(MatchStartupSwitch("Normal"), kModeNormal);
    EXPECT_EQ(MatchStartupSwitch("MINIMIZE"), kModeMinimize);
    EXPECT_EQ(MatchStartupSwitch("sYsTrAy"), kModeSysTray);
    EXPECT_EQ(MatchStartupSwitch("onlyapplysettings"), kModeOnlyApplySettings);
    for (const char* text : {"", "SysTray extra", " SysTray", "SysTray ", "SysTra", "SysTrayy",
                             "Do not run", "-Minimize", "Normal\n"})
        EXPECT_EQ(MatchStartupSwitch(text), kStartedByUser) << '"' << text << '"';
    EXPECT_EQ(MatchStartupSwitch(std::string_view("Normal\0x", 8)), kStartedByUser);
}

TEST(StartupSwitch, NamesExistOnlyForModesTwoToFive) {
    for (int mode = kModeNormal; mode <= kModeOnlyApplySettings; ++mode) {
        ASSERT_NE(StartupSwitchName(mode), nullptr);
        EXPECT_EQ(MatchStartupSwitch(StartupSwitchName(mode)), mode);
    }
    EXPECT_STREQ(StartupSwitchName(kModeSysTray), "SysTray");
    for (int mode : {-1, kStartedByUser, kModeDoNotRun, 6}) EXPECT_EQ(StartupSwitchName(mode), nullptr);
}

}  // namespace
}  // namespace vx::app
