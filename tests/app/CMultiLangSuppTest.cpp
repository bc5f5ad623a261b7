#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/CMultiLangSupp.h"
#include "platform/SystemLanguage.h"

namespace vx::app {
namespace {

TEST(MessageTable, RowsOutsideTheTableGiveNull) {
    const CMultiLangSupp table(1033);
    EXPECT_EQ(table.text(-1), nullptr);
    EXPECT_EQ(table.text(267), nullptr);
    EXPECT_EQ(table.text(-2147483647 - 1), nullptr);
    EXPECT_EQ(table.text(2147483647), nullptr);
    EXPECT_STREQ(Text(267), "");
    for (int row = 0; row < CMultiLangSupp::kRowCount; ++row) {
        ASSERT_NE(table.text(row), nullptr) << row;
        // Only the unused rows are empty.
        EXPECT_EQ(std::strlen(table.text(row)) == 0, row >= 119 && row <= 123) << row;
    }
}

TEST(MessageTable, KeepsTheExactEnglishTexts) {
    const CMultiLangSupp& t = Messages();
    EXPECT_STREQ(t.text(0), "Veltrix Plus");
    EXPECT_STREQ(t.text(2), "Initiate hardware failed!\nPlease confirm NVidia driver has been installed correctly!");
    EXPECT_STREQ(t.text(5), "GPU %d temperature is too high!!!\n");
    EXPECT_STREQ(t.text(27), " 3.3v Voltage");
    EXPECT_STREQ(t.text(60),
                 "The changes may cause system unsteadily or hardware failure.\n"
                 "Operator will take the consequences of the changes.\nDo you continue?");
    EXPECT_STREQ(t.text(62), "  RESET");
    EXPECT_STREQ(t.text(77), "Initialize failed!\nWould you like to run Corvane at the next reboot?");
    EXPECT_STREQ(t.text(87), "Driver&&BIOS Update");
    EXPECT_STREQ(t.text(116), "SAVE      ");
    EXPECT_STREQ(t.text(121), "");
    EXPECT_STREQ(t.text(160),
                 "Fan speed can be chosen between \xE2\x80\x9C" "Auto\xE2\x80\x9D or \xE2\x80\x9C"
                 "Manual\xE2\x80\x9D mode. \nWhen Auto Mode is chosen, fan speed will be adjusted "
                 "automatically based on graphics card\xE2\x80\x99s power consumption. \nWhen Manual "
                 "Mode is chosen, fan speed can be adjusted manually based on user\xE2\x80\x99s "
                 "preference.\nThis feature is only available when the graphics card supports "
                 "\xE2\x80\x9CSmart Fan\xE2\x80\x9D, otherwise this option will be blanked.");
    EXPECT_STREQ(t.text(191), "\xC2\xB0" "C");
    EXPECT_STREQ(t.text(242),
                 "Advanced fan control has two modes: \n1 smooth type: According to the graphics of "
                 "the curve continuity;\n2 zigzag: According to several points of the curve phase jump;");
    EXPECT_STREQ(t.text(264), "TEMPERATURE TARGET (\xC2\xB0" "C)");
    EXPECT_STREQ(t.text(266), "Speed(%)");
    EXPECT_STREQ(Text(msg::kDoNotRun + 4), "Apply hardware settings and quit");
}

TEST(MessageTable, RecordsTheSystemLanguageButAlwaysShowsEnglish) {
    for (uint16_t id : {1028, 3076, 4100, 5124}) {
        const CMultiLangSupp table(id);
        EXPECT_EQ(table.systemLanguage(), Language::ChineseTraditional) << id;
        EXPECT_EQ(table.activeLanguage(), Language::English);
        EXPECT_STREQ(table.text(0), "Veltrix Plus");
    }
    EXPECT_EQ(CMultiLangSupp(2052).systemLanguage(), Language::ChineseSimplified);
    for (uint16_t id : {0, 1033, 2057, 1031, 3075, 65535})
        EXPECT_EQ(CMultiLangSupp(id).systemLanguage(), Language::English) << id;
    EXPECT_EQ(CMultiLangSupp(2052).activeLanguage(), Language::English);
    EXPECT_EQ(&Messages(), &Messages());
}

TEST(MessageTable, LocaleNamesMapToLanguageIds) {
    using platform::LanguageIdForLocaleName;
    EXPECT_EQ(LanguageIdForLocaleName("zh_TW.UTF-8"), 1028);
    EXPECT_EQ(LanguageIdForLocaleName("zh_HK"), 3076);
    EXPECT_EQ(LanguageIdForLocaleName("zh_SG.GB2312"), 4100);
    EXPECT_EQ(LanguageIdForLocaleName("zh_MO@stroke"), 5124);
    EXPECT_EQ(LanguageIdForLocaleName("zh_CN.UTF-8"), 2052);
    EXPECT_EQ(LanguageIdForLocaleName("de_DE.UTF-8"), 1033);
    EXPECT_EQ(LanguageIdForLocaleName("C"), 1033);
    EXPECT_EQ(LanguageIdForLocaleName(""), 1033);
    EXPECT_EQ(CMultiLangSupp(LanguageIdForLocaleName("zh_TW.UTF-8")).systemLanguage(),
              Language::ChineseTraditional);
}

}  // namespace
}  // namespace vx::app
