#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/posix/IniSettingsStore.h"
#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

namespace vx::platform {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using namespace std::string_literals;

class IniSettingsStoreTest : public ::testing::Test {
protected:
    TempDir dir_;
    fs::path file_ = dir_ / "veltrix-plus" / "registry.ini";
    IniSettingsStore store_{file_};
};

TEST_F(IniSettingsStoreTest, MissingFileReadsAbsentAndFirstWriteCreatesFolderAndSection) {
    EXPECT_FALSE(store_.Read("SamplingPeriod").has_value());
    ASSERT_TRUE(store_.Write("SamplingPeriod", 1));
    EXPECT_EQ(TempDir::ReadFile(file_), "[Software\\Veltrix Plus]\nSamplingPeriod=1\n");
    ASSERT_TRUE(store_.Write("IphonePassWord", 482915));
    ASSERT_TRUE(store_.Write("SamplingPeriod", 10));
    EXPECT_EQ(TempDir::ReadFile(file_),
              "[Software\\Veltrix Plus]\nSamplingPeriod=10\nIphonePassWord=482915\n");
}

TEST_F(IniSettingsStoreTest, HoldsTheWholeUnsignedRangeAndNamesIgnoreCase) {
    ASSERT_TRUE(store_.Write("Zero", 0));
    ASSERT_TRUE(store_.Write("Max", 4294967295u));
    EXPECT_EQ(store_.Read("Zero"), 0u);
    EXPECT_EQ(store_.Read("Max"), 4294967295u);
    EXPECT_EQ(store_.Read("mAX"), 4294967295u);
    ASSERT_TRUE(store_.Write("MAX", 7));
    EXPECT_EQ(store_.Read("Max"), 7u);
    EXPECT_EQ(TempDir::ReadFile(file_), "[Software\\Veltrix Plus]\nZero=0\nMAX=7\n");
}

TEST_F(IniSettingsStoreTest, IgnoresLinesThatDoNotParseAndValuesOutOfRange) {
    TempDir::WriteFile(file_, "garbage without equals\n"
                                          "=5\n"
                                          "[Software\\Veltrix Plus]\r\n"
                                          "Good = 42 \r\n"
                                          "Empty=\n"
                                          "Word=abc\n"
                                          "Negative=-1\n"
                                          "Plus=+3\n"
                                          "TooBig=4294967296\n"
                                          "Trailing=12abc\n"
                                          "Hex=0x10\n"
                                          "; Commented=1\n"
                                          "Dup=oops\n"
                                          "Dup=9\n"
                                          "[broken\n"
                                          "Binary=\x01\x02\0\x7f\n"s);
    EXPECT_EQ(store_.Read("Good"), 42u);
    EXPECT_EQ(store_.Read("Dup"), 9u);
    for (const char* name : {"Empty", "Word", "Negative", "Plus", "TooBig", "Trailing", "Hex",
                             "; Commented", "Commented", "Binary", "garbage without equals", ""})
        EXPECT_FALSE(store_.Read(name).has_value()) << name;
}

TEST_F(IniSettingsStoreTest, OnlyItsOwnSectionCountsAndOtherLinesSurviveAWrite) {
    const std::string original =
        "; kept comment\n"
        "[Other]\n"
        "SamplingPeriod=5\n"
        "\n"
        "[Software\\Veltrix Plus]\n"
        "HighSet=1\n"
        "SamplingPeriod=oops\n"
        "TempSet=2\n"
        "\n"
        "[Tail]\n"
        "x=y\n";
    TempDir::WriteFile(file_, original);
    EXPECT_FALSE(store_.Read("SamplingPeriod").has_value());
    EXPECT_EQ(store_.ReadText("samplingperiod"), "oops");  // text values: the update server's address
    EXPECT_FALSE(store_.ReadText("x").has_value());
    ASSERT_TRUE(store_.Write("SamplingPeriod", 3));
    ASSERT_TRUE(store_.Write("FansSet", 2));
    EXPECT_EQ(TempDir::ReadFile(file_),
              "; kept comment\n"
              "[Other]\n"
              "SamplingPeriod=5\n"
              "\n"
              "[Software\\Veltrix Plus]\n"
              "HighSet=1\n"
              "SamplingPeriod=3\n"
              "TempSet=2\n"
              "FansSet=2\n"
              "\n"
              "[Tail]\n"
              "x=y\n");
    EXPECT_EQ(store_.Read("SamplingPeriod"), 3u);
}

TEST_F(IniSettingsStoreTest, SeesWhatAnotherWriterStoredAndKeepsIt) {
    IniSettingsStore other(file_);
    ASSERT_TRUE(store_.Write("HighSet", 0));
    ASSERT_TRUE(other.Write("HighSet", 1));
    ASSERT_TRUE(other.Write("TempSet", 3));
    EXPECT_EQ(store_.Read("HighSet"), 1u);
    ASSERT_TRUE(store_.Write("FansSet", 2));
    EXPECT_EQ(other.Read("TempSet"), 3u);
    EXPECT_EQ(other.Read("FansSet"), 2u);
}

TEST_F(IniSettingsStoreTest, FailedWriteKeepsTheOldFile) {
    ASSERT_TRUE(store_.Write("IphonePassWord", 482915));
    const std::string before = TempDir::ReadFile(file_);
    {
        test::FileSizeLimit limit(before.size() + 4);
        ASSERT_TRUE(limit.active());
        EXPECT_FALSE(store_.Write("AVeryLongValueNameThatMakesTheFileGrow", 4000000000u));
    }
    EXPECT_EQ(TempDir::ReadFile(file_), before);
    EXPECT_EQ(TempDir::Entries(file_.parent_path()), std::vector<std::string>{"registry.ini"});
    EXPECT_EQ(store_.Read("IphonePassWord"), 482915u);
}

TEST_F(IniSettingsStoreTest, RefusesWhatItCannotStoreOrSafelyRewrite) {
    for (const char* name : {"", "a=b", "two\nlines", "[section]", " padded", "; comment"})
        EXPECT_FALSE(store_.Write(name, 1)) << name;
    EXPECT_FALSE(fs::exists(file_));

    // A file too large to be ours is neither read nor replaced.
    const std::string huge = "[Software\\Veltrix Plus]\nA=1\n" + std::string(IniSettingsStore::kMaxFileSize, '#');
    TempDir::WriteFile(file_, huge);
    EXPECT_FALSE(store_.Read("A").has_value());
    EXPECT_FALSE(store_.Write("A", 2));
    EXPECT_EQ(TempDir::ReadFile(file_).size(), huge.size());

    // Nor is one written that would be: a full file keeps its values readable.
    const std::string full = "[Software\\Veltrix Plus]\nA=1\n" + std::string(IniSettingsStore::kMaxFileSize - 40, '#') + "\n";
    TempDir::WriteFile(file_, full);
    EXPECT_TRUE(store_.Write("A", 22));
    EXPECT_FALSE(store_.Write("LongEnoughName", 1));
    EXPECT_EQ(store_.Read("A"), 22u);
    EXPECT_EQ(TempDir::ReadFile(file_).size(), full.size() + 1);

    IniSettingsStore underFile(dir_ / "veltrix-plus" / "registry.ini" / "nested.ini");
    EXPECT_FALSE(underFile.Write("A", 1));
    EXPECT_FALSE(underFile.Read("A").has_value());
}

}  // namespace
}  // namespace vx::platform
