#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "platform/AtomicFile.h"
#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

namespace vx::platform {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

TEST(AtomicFileWrite, CreatesAndReplacesWithExactBytes) {
    TempDir dir;
    const fs::path file = dir / "settings.txt";
    const std::string binary("a\0b\r\n\xff", 6);
    ASSERT_TRUE(WriteFileAtomically(file, binary));
    EXPECT_EQ(TempDir::ReadFile(file), binary);

    ASSERT_TRUE(WriteFileAtomically(file, "second"));
    EXPECT_EQ(TempDir::ReadFile(file), "second");
    ASSERT_TRUE(WriteFileAtomically(file, ""));
    EXPECT_EQ(TempDir::ReadFile(file), "");
    EXPECT_EQ(TempDir::Entries(dir.path()), std::vector<std::string>{"settings.txt"});
}

TEST(AtomicFileWrite, KeepsThePermissionsOfTheFileItReplaces) {
    TempDir dir;
    const fs::path file = dir / "private.ini";
    TempDir::WriteFile(file, "old");
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(WriteFileAtomically(file, "new"));
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST(AtomicFileWrite, FailsWithoutTouchingAnythingWhenTheFolderIsUnusable) {
    TempDir dir;
    TempDir::WriteFile(dir / "plain", "a file, not a folder");
    EXPECT_FALSE(WriteFileAtomically(dir / "plain" / "x.ini", "data"));
    EXPECT_FALSE(WriteFileAtomically(dir / "missing" / "x.ini", "data"));
    EXPECT_FALSE(WriteFileAtomically(dir.path() / "", "data"));
    EXPECT_EQ(TempDir::ReadFile(dir / "plain"), "a file, not a folder");
    EXPECT_EQ(TempDir::Entries(dir.path()), std::vector<std::string>{"plain"});
}

TEST(AtomicFileWrite, FailedRenameRemovesTheTemporaryFile) {
    TempDir dir;
    // A non-empty folder cannot be replaced by a file.
    TempDir::WriteFile(dir / "target" / "inside", "kept");
    EXPECT_FALSE(WriteFileAtomically(dir / "target", "data"));
    EXPECT_EQ(TempDir::ReadFile(dir / "target" / "inside"), "kept");
    EXPECT_EQ(TempDir::Entries(dir.path()), std::vector<std::string>{"target"});
}

TEST(AtomicFileWrite, WriteThatRunsOutOfSpaceKeepsTheOldFile) {
    TempDir dir;
    const fs::path file = dir / "profile.txt";
    TempDir::WriteFile(file, "old content");
    const std::string big(64 * 1024, 'x');
    {
        test::FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.active());
        EXPECT_FALSE(WriteFileAtomically(file, big));
    }
    EXPECT_EQ(TempDir::ReadFile(file), "old content");
    EXPECT_EQ(TempDir::Entries(dir.path()), std::vector<std::string>{"profile.txt"});
}

TEST(AtomicFileRead, IsBoundedAndRefusesWhatIsNotAFile) {
    TempDir dir;
    const fs::path file = dir / "data";
    TempDir::WriteFile(file, std::string(10000, 'y'));
    EXPECT_EQ(ReadFileLimited(file, 10000).value_or(""), std::string(10000, 'y'));
    EXPECT_FALSE(ReadFileLimited(file, 9999).has_value());
    EXPECT_FALSE(ReadFileLimited(dir / "absent", 100).has_value());
    EXPECT_FALSE(ReadFileLimited(dir.path(), 100).has_value());
    TempDir::WriteFile(dir / "empty", "");
    EXPECT_EQ(ReadFileLimited(dir / "empty", 0).value_or("?"), "");
}

TEST(AtomicFileLeftovers, OnlyOurTemporaryNamesCount) {
    const struct {
        const char* name;
        bool ours;
    } cases[] = {
        {".registry.ini.tmp-0123456789abcdef-0", true},
        {".UserSettings.txt.tmp-FFFFFFFFFFFFFFFF-4294967295", true},
        {".a.tmp-x.tmp-0000000000000000-12", true},
        {"registry.ini.tmp-0123456789abcdef-0", false},    // not hidden
        {"..tmp-0123456789abcdef-0", false},               // no target name
        {".registry.ini.tmp-0123456789abcde-0", false},    // 15 digits
        {".registry.ini.tmp-0123456789abcdeg-0", false},   // not hex
        {".registry.ini.tmp-0123456789abcdef-", false},    // no counter
        {".registry.ini.tmp-0123456789abcdef-1x", false},  // trailing text
        {".registry.ini.tmp-0123456789abcdef-12345678901", false},
        {".registry.ini.XXXXXX", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsTemporaryFileName(c.name), c.ours) << c.name;
}

TEST(AtomicFileLeftovers, RemovesOnlyStaleOnesOfTheAskedTarget) {
    TempDir dir;
    const auto before = fs::file_time_type::clock::now() - std::chrono::hours(1);
    const std::string stale = ".a.ini.tmp-0123456789abcdef-1", otherStale = ".b.ini.tmp-0123456789abcdef-2";
    const std::string fresh = ".a.ini.tmp-0123456789abcdef-3";
    for (const std::string& name : {stale, otherStale, fresh, std::string("a.ini")}) TempDir::WriteFile(dir / name, name);
    fs::create_directory(dir / ".c.ini.tmp-0123456789abcdef-4");
    fs::create_symlink(dir / "a.ini", dir / ".d.ini.tmp-0123456789abcdef-5");
    for (const std::string& name : {stale, otherStale}) fs::last_write_time(dir / name, before - std::chrono::hours(1));
    const auto cutoff = before + std::chrono::minutes(1);
    fs::last_write_time(dir / fresh, cutoff + std::chrono::minutes(1));

    EXPECT_EQ(RemoveStaleTemporaryFiles(dir.path(), cutoff, "a.ini"), 1u);
    EXPECT_FALSE(fs::exists(dir / stale));
    EXPECT_TRUE(fs::exists(dir / otherStale));
    EXPECT_EQ(RemoveStaleTemporaryFiles(dir.path(), cutoff), 1u);
    EXPECT_EQ(TempDir::Entries(dir.path()),
              (std::vector<std::string>{fresh, ".c.ini.tmp-0123456789abcdef-4", ".d.ini.tmp-0123456789abcdef-5", "a.ini"}));
    EXPECT_EQ(TempDir::ReadFile(dir / "a.ini"), "a.ini");
    EXPECT_EQ(RemoveStaleTemporaryFiles(dir / "absent", cutoff), 0u);
}

}  // namespace
}  // namespace vx::platform
