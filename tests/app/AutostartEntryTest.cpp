#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/AutostartEntry.h"
#include "support/FakeAutostart.h"

namespace vx::app {
namespace {

const std::string kExe = "/usr/bin/veltrix-plus";

TEST(AutostartEntry, StartsAtSysTrayAndKeepsItWithoutAReadableEntry) {
    test::FakeAutostart store;
    AutostartEntry entry(store, kExe);
    EXPECT_EQ(entry.Mode(), kModeSysTray);
    entry.ReadBack();
    EXPECT_EQ(entry.Mode(), kModeSysTray);
    store.entry = kExe + " Normal";
    store.unreadable = true;
    entry.ReadBack();
    EXPECT_EQ(entry.Mode(), kModeSysTray);
}

TEST(AutostartEntry, ApplyWritesPathBlankSwitchOrDeletes) {
    test::FakeAutostart store;
    AutostartEntry entry(store, kExe);
    EXPECT_TRUE(entry.Apply(kModeMinimize));
    EXPECT_EQ(store.entry, kExe + " Minimize");
    EXPECT_EQ(entry.Mode(), kModeMinimize);
    EXPECT_TRUE(entry.Apply(kModeOnlyApplySettings));
    EXPECT_EQ(store.entry, kExe + " OnlyApplySettings");
    EXPECT_TRUE(entry.Apply(kModeDoNotRun));
    EXPECT_FALSE(store.entry.has_value());
    EXPECT_EQ(entry.Mode(), kModeDoNotRun);

    // Not a mode of the entry: nothing happens.
    EXPECT_FALSE(entry.Apply(kStartedByUser));
    EXPECT_FALSE(entry.Apply(6));
    EXPECT_EQ(entry.Mode(), kModeDoNotRun);
    EXPECT_EQ(store.writeCount, 2);
    EXPECT_EQ(store.removeCount, 1);
}

TEST(AutostartEntry, FailedChangeStillRecordsTheChosenMode) {
    test::FakeAutostart store;
    store.entry = kExe + " Normal";
    store.failChanges = true;
    AutostartEntry entry(store, kExe);
    EXPECT_FALSE(entry.Apply(kModeMinimize));
    EXPECT_EQ(entry.Mode(), kModeMinimize);
    EXPECT_EQ(store.entry, kExe + " Normal");
}

TEST(AutostartEntry, ReadBackMatchesTheTextAfterTheLastBlank) {
    struct Case {
        std::string text;
        int mode;
    };
    const Case cases[] = {
        {kExe + " MINIMIZE", kModeMinimize},
        {"/opt/My Apps/veltrix plus systray", kModeSysTray},
        {kExe + " Bogus", kStartedByUser},
        {kExe + " Minimize ", kStartedByUser},
        {kExe + " Minimize extra", kStartedByUser},
        {kExe + "  Normal", kModeNormal},
        {"NoBlankAtAll", kModeSysTray},
        {" Minimize", kModeSysTray},
        {"", kModeSysTray},
    };
    for (const Case& c : cases) {
        test::FakeAutostart store;
        store.entry = c.text;
        AutostartEntry entry(store, kExe);
        entry.ReadBack();
        EXPECT_EQ(entry.Mode(), c.mode) << '"' << c.text << '"';
    }
}

TEST(AutostartEntry, PathAndOptionsRoundTripUncutWithTheSwitchLast) {
    using Args = std::vector<std::string>;
    const Args carried{"--simulate=/home/u/my rigs/rig.json", "--data-dir", "/home/u/Veltrix Data"};
    for (const std::string& path : {"/" + std::string(299, 'x'), std::string("/opt/My Apps/Veltrix Plus/vx")}) {
        for (const Args& options : {Args{}, carried}) {
            test::FakeAutostart store;
            AutostartEntry writer(store, path, options);
            ASSERT_TRUE(writer.Apply(kModeNormal));
            Args expected{path};
            expected.insert(expected.end(), options.begin(), options.end());
            expected.emplace_back("Normal");
            EXPECT_EQ(store.arguments, expected);
            ASSERT_TRUE(writer.Apply(kModeOnlyApplySettings));
            AutostartEntry reader(store, path);
            reader.ReadBack();
            EXPECT_EQ(reader.Mode(), kModeOnlyApplySettings) << *store.entry;
        }
    }
    EXPECT_EQ(AutostartEntry::Command("/a b", {"--simulate"}, kModeSysTray), (Args{"/a b", "--simulate", "SysTray"}));
    EXPECT_TRUE(AutostartEntry::Command("/a", carried, kModeDoNotRun).empty());
}

}  // namespace
}  // namespace vx::app
