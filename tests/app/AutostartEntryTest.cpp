#include <gtest/gtest.h>

#include <string>

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

TEST(AutostartEntry, LongAndBlankFilledPathsRoundTripUncut) {
    for (const std::string& path : {"/" + std::string(299, 'x'), std::string("/opt/My Apps/Veltrix Plus/vx")}) {
        test::FakeAutostart store;
        AutostartEntry writer(store, path);
        ASSERT_TRUE(writer.Apply(kModeNormal));
        EXPECT_EQ(store.entry, path + " Normal");
        ASSERT_TRUE(writer.Apply(kModeOnlyApplySettings));
        AutostartEntry reader(store, path);
        reader.ReadBack();
        EXPECT_EQ(reader.Mode(), kModeOnlyApplySettings);
    }
    EXPECT_EQ(AutostartEntry::CommandText("/a b", kModeSysTray), "/a b SysTray");
    EXPECT_EQ(AutostartEntry::CommandText("/a", kModeDoNotRun), "");
}

}  // namespace
}  // namespace vx::app
