// The video BIOS image from a PCI device folder tree laid out as sysfs lays it out.
#include "platform/posix/SysfsBiosImage.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace vx::platform {
namespace {

struct PciDevice {
    const char* name;
    const char* vendor;
    const char* pciClass;
};

struct SysfsCase {
    const char* name;
    std::vector<PciDevice> devices;
    std::size_t maxBytes;
    std::string image;  // what Read returns
};

const PciDevice kNvidiaVga{"0000:01:00.0", "0x10de", "0x030000"};
const PciDevice kNvidiaAudio{"0000:01:00.1", "0x10de", "0x040300"};
const PciDevice kOtherVga{"0000:00:02.0", "0x8086", "0x030000"};
const PciDevice kSecondNvidia{"0000:02:00.0", "0x10de", "0x030200"};

// A regular file takes the enable byte where the kernel would switch the ROM on: the image
// read shows "1" in front, and the "0" written after the read is what remains.
const SysfsCase kCases[] = {
    {"TheOneNvidiaDisplay", {kOtherVga, kNvidiaVga, kNvidiaAudio}, 1600, "1\xaaVGA BIOS"},
    {"CutToTheRequestedLength", {kNvidiaVga}, 4, "1\xaaVG"},
    {"SeveralNvidiaDisplaysReadNothing", {kNvidiaVga, kSecondNvidia}, 1600, ""},
    {"NoNvidiaDisplay", {kOtherVga, kNvidiaAudio}, 1600, ""},
};

class SysfsBiosImageTest : public ::testing::TestWithParam<SysfsCase> {};

TEST_P(SysfsBiosImageTest, ReadsTheEnabledRomOfTheOnlyCard) {
    const SysfsCase& c = GetParam();
    test::TempDir root;
    for (const PciDevice& device : c.devices) {
        test::TempDir::WriteFile(root / device.name / "vendor", std::string(device.vendor) + "\n");
        test::TempDir::WriteFile(root / device.name / "class", std::string(device.pciClass) + "\n");
        test::TempDir::WriteFile(root / device.name / "rom", "U\xaaVGA BIOS");
    }
    SysfsBiosImage source(root.path());
    const std::vector<uint8_t> image = source.Read(0, c.maxBytes);
    EXPECT_EQ(std::string(image.begin(), image.end()), c.image);
    const std::string romAfter = test::TempDir::ReadFile(root / kNvidiaVga.name / "rom");
    if (!c.image.empty()) {
        EXPECT_EQ(romAfter[0], '0');  // disabled again
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, SysfsBiosImageTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SysfsBiosImage, MissingDeviceFolderReadsNothing) {
    EXPECT_TRUE(SysfsBiosImage("/nonexistent/pci/devices").Read(0, 1600).empty());
}

}  // namespace
}  // namespace vx::platform
