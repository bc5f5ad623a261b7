// The settings-file reader: the line grammar, name lookup and number conversion, and input
// that is damaged or hostile.
#include <gtest/gtest.h>

#include <string>

#include "support/TempDir.h"
#include "platform/CIni.h"

namespace vx::tuning {
namespace {

// UTF-16LE bytes of `text` (UTF-8), with the byte-order mark unless told otherwise.
std::string Utf16Bytes(const std::string& text, bool bom = true) {
    std::u16string units = CIni::FromUtf8(text);
    if (bom) units.insert(units.begin(), char16_t{0xFEFF});
    std::string bytes;
    for (char16_t c : units) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

CIni Parsed(const std::string& text) {
    CIni ini;
    EXPECT_TRUE(ini.ParseBytes(Utf16Bytes(text))) << text;
    return ini;
}

TEST(CIniTest, LineGrammar) {
    CIni ini = Parsed("[Gpu1]\r\nId=1b82\r\nFanSpeed=55\r\n[ Gpu2 ]\r\n  Id  = 1184 \r\nEmpty=\r\n");
    EXPECT_EQ(ini.SectionCount(), 2u);
    EXPECT_EQ(ini.GetUtf8("Gpu1", "Id"), "1b82");
    // Names are trimmed of blanks, values are kept as written.
    EXPECT_EQ(ini.GetUtf8("Gpu2", "Id"), " 1184 ");
    EXPECT_EQ(ini.GetUtf8("Gpu2", "Empty"), "");
    EXPECT_FALSE(ini.GetUtf8("Gpu3", "Id"));
    EXPECT_FALSE(ini.GetUtf8("Gpu1", "Missing"));

    // Bare LF ends lines too; a value may hold "=" and "[".
    ini = Parsed("[S]\nA=x=y\nB=[z]\n");
    EXPECT_EQ(ini.GetUtf8("S", "A"), "x=y");
    EXPECT_EQ(ini.GetUtf8("S", "B"), "[z]");

    // A key before any section is no key; a line without "=" is none either.
    ini = Parsed("Orphan=1\r\n[S]\r\nnoequals\r\nK=2\r\n");
    EXPECT_EQ(ini.GetUtf8("S", "K"), "2");
    EXPECT_FALSE(ini.GetUtf8("S", "noequals"));
    EXPECT_FALSE(ini.GetUtf8("S", "Orphan"));
}

TEST(CIniTest, LookupIgnoresCaseAndTakesTheFirstNameBeginningWithTheOneAsked) {
    CIni ini = Parsed("[gpu1]\r\nid=1b82\r\nfanworkmode=2\r\n[GPU2]\r\nFANSPEED=70\r\n");
    EXPECT_EQ(ini.GetUtf8("Gpu1", "Id"), "1b82");
    int32_t mode = 0;
    EXPECT_TRUE(ini.GetInt("GPU1", "FanWorkMode", mode));
    EXPECT_EQ(mode, 2);
    EXPECT_EQ(ini.GetUtf8("gpu2", "fanspeed"), "70");

    ini = Parsed("[Gpu10]\r\nId=aaaa\r\n[Gpu1]\r\nId=bbbb\r\n");
    EXPECT_EQ(ini.GetUtf8("Gpu1", "Id"), "aaaa");  // "Gpu10" begins with "Gpu1" and comes first
    EXPECT_FALSE(ini.GetUtf8("Gpu100", "Id"));     // a stored name shorter than the one asked never matches
}

TEST(CIniTest, ValueWithoutLineEndIsDropped) {
    CIni ini = Parsed("[Gpu1]\r\nId=1b82\r\nFanSpeed=70");
    EXPECT_EQ(ini.GetUtf8("Gpu1", "Id"), "1b82");
    int32_t speed = 33;
    EXPECT_FALSE(ini.GetInt("Gpu1", "FanSpeed", speed));
    EXPECT_EQ(speed, 33) << "an absent value leaves the variable as it was";
}

TEST(CIniTest, KeyTwiceInOneSectionFailsTheWholeParse) {
    CIni ini;
    EXPECT_FALSE(ini.ParseBytes(Utf16Bytes("[Gpu1]\r\nId=1b82\r\nFanSpeed=50\r\nfanspeed=60\r\n")));
    EXPECT_FALSE(ini.GetUtf8("Gpu1", "Id")) << "nothing of a failed parse is served";
    // The same key in two sections is fine.
    EXPECT_TRUE(ini.ParseBytes(Utf16Bytes("[A]\r\nK=1\r\n[B]\r\nK=2\r\n")));
    EXPECT_EQ(ini.GetUtf8("B", "K"), "2");
}

TEST(CIniTest, ByteOrderMarkIsOptionalAndIgnoredElsewhere) {
    CIni ini;
    ASSERT_TRUE(ini.ParseBytes(Utf16Bytes("[S]\r\nK=1\r\n", false)));
    EXPECT_EQ(ini.GetUtf8("S", "K"), "1");
    ASSERT_TRUE(ini.ParseBytes(Utf16Bytes("[S]\r\n\xEF\xBB\xBFK=1\r\n")));
    EXPECT_EQ(ini.GetUtf8("S", "K"), "1");
}

TEST(CIniTest, NumbersAreBaseTenLeadingDigits) {
    EXPECT_EQ(CIni::ToInt(u"42"), 42);
    EXPECT_EQ(CIni::ToInt(u"-17"), -17);
    EXPECT_EQ(CIni::ToInt(u"  +8x9"), 8);
    EXPECT_EQ(CIni::ToInt(u"0x1F"), 0);
    EXPECT_EQ(CIni::ToInt(u"010"), 10);  // never octal
    EXPECT_EQ(CIni::ToInt(u"abc"), 0);
    EXPECT_EQ(CIni::ToInt(u""), 0);
    EXPECT_EQ(CIni::ToInt(u"99999999999999999999"), 2147483647);
    EXPECT_EQ(CIni::ToInt(u"-99999999999999999999"), -2147483647 - 1);
}

TEST(CIniTest, DamagedTextIsReadSafely) {
    // An odd last byte is dropped; the line before it still counts.
    std::string bytes = Utf16Bytes("[S]\r\nK=1\r\n") + "X";
    CIni ini;
    ASSERT_TRUE(ini.ParseBytes(bytes));
    EXPECT_EQ(ini.GetUtf8("S", "K"), "1");

    // Lone surrogates come out as U+FFFD; a proper pair survives.
    std::u16string text = u"[S]\r\nA=x";
    text += char16_t{0xD800};
    text += u"y\r\nB=";
    text += char16_t{0xDC00};
    text += u"\r\nC=";
    text += char16_t{0xD83D};
    text += char16_t{0xDE00};
    text += u"\r\n";
    ASSERT_TRUE(ini.Parse(text));
    EXPECT_EQ(ini.GetUtf8("S", "A"), "x\xEF\xBF\xBDy");
    EXPECT_EQ(ini.GetUtf8("S", "B"), "\xEF\xBF\xBD");
    EXPECT_EQ(ini.GetUtf8("S", "C"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(CIni::FromUtf8("a\xFF" "b"), u"a\uFFFDb");

    // A section head cut by a line end is no section.
    ASSERT_TRUE(ini.Parse(u"[Gpu1\r\nK=1\r\n"));
    EXPECT_EQ(ini.SectionCount(), 0u);
}

TEST(CIniTest, FilesMissingOrTooLargeAreRefused) {
    test::TempDir dir;
    CIni ini;
    EXPECT_FALSE(ini.Load(dir / "absent.txt"));
    test::TempDir::WriteFile(dir / "ok.txt", Utf16Bytes("[S]\r\nK=1\r\n"));
    EXPECT_TRUE(ini.Load(dir / "ok.txt"));
    test::TempDir::WriteFile(dir / "huge.txt", std::string(CIni::kMaxFileBytes + 2, 'a'));
    EXPECT_FALSE(ini.Load(dir / "huge.txt"));
    EXPECT_FALSE(ini.GetUtf8("S", "K")) << "a refused file leaves nothing of the one before";
}

}  // namespace
}  // namespace vx::tuning
