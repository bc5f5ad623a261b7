#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "app/FontSet.h"

namespace vx::app {
namespace {

// Stands in for the system font list: families it has, files that refuse to load.
class FakeFontRegistry : public FontRegistry {
public:
    std::set<std::string> systemFamilies;  // lower case
    std::set<std::string> failingFiles;
    std::vector<std::filesystem::path> added;

    bool HasFamily(const std::string& family) const override {
        std::string lower = family;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return systemFamilies.count(lower) != 0;
    }
    std::vector<std::string> AddFontFile(const std::filesystem::path& file) override {
        added.push_back(file);
        if (failingFiles.count(file.filename().string())) return {};
        return {"Family of " + file.filename().string()};
    }
};

TEST(FontSetInstall, AllFacesPresentAddsNothing) {
    FakeFontRegistry registry;
    registry.systemFamilies = {"arial", "ds-digital", "lcdd", "clockopia"};
    FontSet fonts("/fonts");
    EXPECT_TRUE(fonts.Install(registry));
    EXPECT_TRUE(registry.added.empty());
    // Faces the system has are drawn under their own names.
    EXPECT_EQ(fonts.FamilyFor("Clockopia"), "Clockopia");
    EXPECT_EQ(fonts.Font(1).family, "arial");
}

TEST(FontSetInstall, OnlyTheMissingFaceIsAddedAndMapped) {
    FakeFontRegistry registry;
    registry.systemFamilies = {"arial", "lcdd", "clockopia"};
    FontSet fonts("/opt/vx/fonts");
    EXPECT_TRUE(fonts.Install(registry));
    ASSERT_EQ(registry.added.size(), 1u);
    EXPECT_EQ(registry.added[0], std::filesystem::path("/opt/vx/fonts/DS-DIGI.ttf"));
    EXPECT_EQ(fonts.FamilyFor("DS-Digital"), "Family of DS-DIGI.ttf");
    EXPECT_EQ(fonts.FamilyFor("ds-digital"), "Family of DS-DIGI.ttf");
    EXPECT_EQ(fonts.Font(13).family, "Family of DS-DIGI.ttf");
    EXPECT_EQ(fonts.Font(13).face, "DS-Digital");
    EXPECT_EQ(fonts.Font(2).family, "Clockopia");
}

TEST(FontSetInstall, EveryFileInTableOrderWhenNothingIsPresent) {
    FakeFontRegistry registry;
    FontSet fonts("/fonts");
    EXPECT_TRUE(fonts.Install(registry));
    ASSERT_EQ(registry.added.size(), 4u);
    EXPECT_EQ(registry.added[0].filename(), "Arial.ttf");
    EXPECT_EQ(registry.added[1].filename(), "DS-DIGI.ttf");
    EXPECT_EQ(registry.added[2].filename(), "LCDN.TTF");
    EXPECT_EQ(registry.added[3].filename(), "CLOCKOPIA.TTF");
}

TEST(FontSetInstall, FailedAddStopsAndReportsFailure) {
    FakeFontRegistry registry;
    registry.failingFiles = {"LCDN.TTF"};
    FontSet fonts("/fonts");
    EXPECT_FALSE(fonts.Install(registry));
    ASSERT_EQ(registry.added.size(), 3u);  // Clockopia is never tried
    EXPECT_EQ(registry.added.back().filename(), "LCDN.TTF");
    // Faces after the failure fall back to their own names.
    EXPECT_EQ(fonts.FamilyFor("Clockopia"), "Clockopia");
    EXPECT_EQ(fonts.FamilyFor("arial"), "Family of Arial.ttf");
}

// face, height, weight, escapement, orientation, width
using Row = std::tuple<std::string, int, int, int, int, int>;

Row RowOf(const FontDescription& font) {
    return {font.face, font.height, font.weight, font.escapement, font.orientation, font.width};
}

TEST(FontSetDescriptions, TableValues) {
    FontSet fonts("/fonts");
    EXPECT_EQ(RowOf(fonts.Font(1)), Row("arial", 14, 0, 0, 0, 0));
    EXPECT_EQ(RowOf(fonts.Font(2)), Row("Clockopia", 24, 0, 0, 0, 0));
    EXPECT_EQ(RowOf(fonts.Font(4)), Row("DS-Digital", 18, 0, -100, 900, 0));
    EXPECT_EQ(RowOf(fonts.Font(5)), Row("arial", 12, 700, 100, 900, 0));
    EXPECT_EQ(RowOf(fonts.Font(6)), Row("arial", 12, 0, -90, 900, 0));
    EXPECT_EQ(RowOf(fonts.Font(10)), Row("arial", 18, 0, 2700, 900, 0));
    EXPECT_EQ(RowOf(fonts.Font(13)), Row("DS-Digital", 30, 0, 0, 0, 0));
    EXPECT_EQ(RowOf(fonts.Font(15)), Row("arial", 42, 0, 0, 0, 0));
    EXPECT_EQ(RowOf(fonts.Font(16)), Row("arial", 20, 0, 0, 0, 8));
    EXPECT_EQ(RowOf(fonts.Font(17)), Row("Clockopia", 40, 0, 0, 0, 0));
    EXPECT_EQ(RowOf(fonts.Font(18)), Row("Clockopia", 24, 0, 0, 0, 0));
}

TEST(FontSetDescriptions, NumberOutsideTheSetGivesFontOne) {
    FontSet fonts("/fonts");
    EXPECT_EQ(fonts.Font(0).height, 14);
    EXPECT_EQ(fonts.Font(19).height, 14);
    EXPECT_EQ(fonts.Font(-5).face, "arial");
}

TEST(FontSetBundle, EveryFaceFileShipsWithTheProgram) {
    for (const auto& entry : FontSet::Faces()) {
        const auto file = std::filesystem::path(VX_TEST_ASSETS) / "fonts" / entry.file;
        EXPECT_TRUE(std::filesystem::is_regular_file(file)) << file;
        EXPECT_GT(std::filesystem::file_size(file), 1000u) << file;
    }
}

}  // namespace
}  // namespace vx::app
