#pragma once
// Classifies a card from the first bytes of its video BIOS image: the maker's tag line gives a
// four-character board tag, and a "-F" board takes direct fan-controller writes.
#include <cstddef>
#include <cstdint>
#include <string>

namespace vx::maintenance {

/// How many bytes of the image are scanned.
inline constexpr std::size_t kBiosImageBytes = 1600;

/// The fields of a GPU record the scan reads and writes.
struct BiosIdentity {
    std::string biosTagText;  // the board tag, UTF-8 of the four image bytes (up to a zero byte)
    int32_t fanAccessKind = 0;
};

/// True when a tag line, or a tag-less "V....-F" board mark, was recognised. At most
/// kBiosImageBytes of `image` are looked at; a short image is scanned as far as it goes.
bool ScanBiosImage(BiosIdentity& gpu, const uint8_t* image, std::size_t length);

}  // namespace vx::maintenance
