#include "maintenance/BiosScan.h"

#include "gpu/GpuRecord.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace vx::maintenance {
namespace {

struct Mark {
    std::size_t at;
    const char* text;
};

struct ScanCase {
    const char* name;
    std::size_t length;
    std::vector<Mark> marks;
    int32_t kindBefore;
    bool found;
    const char* tag;
    int32_t kindAfter;
};

std::vector<uint8_t> Image(const ScanCase& c) {
    std::vector<uint8_t> image(c.length, 0);
    for (const Mark& mark : c.marks) std::memcpy(image.data() + mark.at, mark.text, std::strlen(mark.text));
    return image;
}

constexpr int32_t k0 = kFanDriverCooler, k1 = kFanDriverWithTachMcu, k2 = kFanDriverWithMcuWrites,
                  k3 = kFanRpmController;

const ScanCase kCases[] = {
    {"TaSkipsALetter", 1600, {{100, "VGA BIOS TAxG1F0-F"}}, k0, true, "G1F0", k2},
    {"TaKeepsADigit", 1600, {{100, "VGA BIOS TA7ABC-F"}}, k1, true, "7ABC", k2},
    {"TbAlwaysSkipsOne", 1600, {{100, "VGA BIOS TB5WXYZ  "}}, k1, true, "WXYZ", k1},
    {"TaggedWithoutMarkKeepsKind", 1600, {{40, "VGA BIOS QA12AB-X"}}, k0, true, "12AB", k0},
    {"MarkWithoutTag", 1600, {{300, "V1234-F"}}, k1, true, "", k2},
    {"NeitherTagNorMark", 1600, {{300, "V1234-X"}}, k1, false, "", k1},
    {"RpmKindKeptWithMarkedTag", 1600, {{0, "VGA BIOS PE9Z9Z-F"}}, k3, true, "9Z9Z", k3},
    {"RpmKindKeptWithBareMark", 1600, {{0, "V1234-F"}}, k3, false, "", k3},
    {"TableOrderBeatsPosition", 1600, {{10, "VGA BIOS PE1111"}, {900, "VGA BIOS DA2222-F"}}, k0, true, "2222", k2},
    {"FirstPositionOfATag", 1600, {{50, "VGA BIOS QB3333"}, {100, "VGA BIOS QB4444-F"}}, k0, true, "3333", k0},
    {"TagAsLateAsItFits", 1600, {{1600 - 8 - 11 - 1, "VGA BIOS PCLAST"}}, k0, true, "LAST", k0},
    {"TagAtTheVeryEnd", 1600, {{1600 - 11, "VGA BIOS PC"}}, k0, false, "", k0},
    {"MarkAtTheVeryEnd", 1600, {{1600 - 7, "V1234-F"}}, k0, false, "", k0},
    {"ShorterThanATag", 9, {{0, "VGA BIOS "}}, k0, false, "", k0},
    {"EmptyImage", 0, {}, k0, false, "", k0},
    {"OnlyTheFirst1600BytesCount", 2000, {{1700, "VGA BIOS TC8888-F"}}, k0, false, "", k0},
    {"HighBytesBecomeCharacters", 1600, {{0, "VGA BIOS TC\xe9t\xe9s"}}, k0, true, "\xc3\xa9t\xc3\xa9s", k0},
};

class ScanBiosImageTest : public ::testing::TestWithParam<ScanCase> {};

TEST_P(ScanBiosImageTest, SetsTagAndFanKind) {
    const ScanCase& c = GetParam();
    const std::vector<uint8_t> image = Image(c);
    BiosIdentity gpu{"", c.kindBefore};
    EXPECT_EQ(ScanBiosImage(gpu, image.data(), image.size()), c.found);
    EXPECT_EQ(gpu.biosTagText, c.tag);
    EXPECT_EQ(gpu.fanAccessKind, c.kindAfter);
}

INSTANTIATE_TEST_SUITE_P(Cases, ScanBiosImageTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vx::maintenance
