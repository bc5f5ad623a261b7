#include "maintenance/BiosScan.h"

#include "gpu/GpuRecord.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string_view>

namespace vx::maintenance {

namespace {

// Searched in this order; the first tag found wins whatever its position.
constexpr std::string_view kTags[] = {
    "VGA BIOS V",  "VGA BIOS TA", "VGA BIOS TB", "VGA BIOS TC", "VGA BIOS DA",
    "VGA BIOS DB", "VGA BIOS QA", "VGA BIOS QB", "VGA BIOS QC", "VGA BIOS QD",
    "VGA BIOS PA", "VGA BIOS PB", "VGA BIOS PC", "VGA BIOS PD", "VGA BIOS PE",
};
constexpr std::size_t kTagTA = 1;
constexpr std::size_t kTagTB = 2;
constexpr std::ptrdiff_t kBoardTagLength = 4;
// Room kept after a tag: the skipped character, the board tag and "-F" always fit.
constexpr std::ptrdiff_t kTailRoom = 8;

bool At(const uint8_t* image, std::ptrdiff_t p, std::string_view text) {
    return std::memcmp(image + p, text.data(), text.size()) == 0;
}

// The image bytes as wide text would hold them: one character per byte, ending at a zero.
std::string BoardTag(const uint8_t* bytes) {
    std::string tag;
    for (std::ptrdiff_t i = 0; i < kBoardTagLength && bytes[i] != 0; ++i) {
        const uint8_t c = bytes[i];
        if (c < 0x80) {
            tag.push_back(static_cast<char>(c));
        } else {
            tag.push_back(static_cast<char>(0xC0 | (c >> 6)));
            tag.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return tag;
}

bool FindBoardMark(const uint8_t* image, std::ptrdiff_t length) {
    for (std::ptrdiff_t p = 0; p <= length - kTailRoom; ++p)
        if (image[p] == 'V' && image[p + 5] == '-' && image[p + 6] == 'F') return true;
    return false;
}

}  // namespace

bool ScanBiosImage(BiosIdentity& gpu, const uint8_t* image, std::size_t length) {
    const auto scanned = static_cast<std::ptrdiff_t>(std::min(length, kBiosImageBytes));
    if (image == nullptr) return false;
    for (std::size_t index = 0; index < std::size(kTags); ++index) {
        const std::string_view tag = kTags[index];
        const auto tagLength = static_cast<std::ptrdiff_t>(tag.size());
        for (std::ptrdiff_t p = 0; p < scanned - kTailRoom - tagLength; ++p) {
            if (!At(image, p, tag)) continue;
            std::ptrdiff_t start = p + tagLength;
            if ((index == kTagTA && !(image[start] >= '0' && image[start] <= '9')) || index == kTagTB) ++start;
            gpu.biosTagText = BoardTag(image + start);
            if (gpu.fanAccessKind == kFanRpmController) return true;
            if (image[start + kBoardTagLength] == '-' && image[start + kBoardTagLength + 1] == 'F')
                gpu.fanAccessKind = kFanDriverWithMcuWrites;
            return true;
        }
    }
    if (gpu.fanAccessKind == kFanRpmController) return false;
    if (!FindBoardMark(image, scanned)) return false;
    gpu.fanAccessKind = kFanDriverWithMcuWrites;
    return true;
}

}  // namespace vx::maintenance
