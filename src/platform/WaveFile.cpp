#include "platform/WaveFile.h"

namespace vx::platform {
namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
constexpr uint32_t kMinRate = 8000, kMaxRate = 192000;
// dwChannelMask of the usual layouts, by channel count (1 = mono ... 8 = 7.1).
constexpr uint32_t kChannelMasks[WaveClip::kMaxChannels + 1] = {0, 0x4, 0x3, 0x7, 0x33, 0x37, 0x3F, 0x13F, 0x63F};

void Put16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
uint32_t Get16(std::string_view b, std::size_t at) { return uint8_t(b[at]) | uint32_t(uint8_t(b[at + 1])) << 8; }
uint32_t Get32(std::string_view b, std::size_t at) { return Get16(b, at) | Get16(b, at + 2) << 16; }

}  // namespace

std::string EncodeWave(const WaveClip& clip) {
    const auto data = static_cast<uint32_t>(clip.samples.size());
    const uint32_t blockAlign = 2u * clip.channels;
    std::string out = "RIFF";
    Put32(out, 4 + 8 + 40 + 8 + data);
    out += "WAVEfmt ";
    Put32(out, 40);
    Put16(out, kFormatExtensible);
    Put16(out, clip.channels);
    Put32(out, clip.sampleRate);
    Put32(out, clip.sampleRate * blockAlign);
    Put16(out, blockAlign);
    Put16(out, 16);
    Put16(out, 22);  // extension size
    Put16(out, 16);  // valid bits
    Put32(out, clip.channels <= WaveClip::kMaxChannels ? kChannelMasks[clip.channels] : 0);
    // KSDATAFORMAT_SUBTYPE_PCM
    Put32(out, kFormatPcm);
    out += std::string("\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 12);
    out += "data";
    Put32(out, data);
    out += clip.samples;
    return out;
}

std::optional<WaveClip> DecodeWave(std::string_view bytes) {
    if (bytes.size() > WaveClip::kMaxBytes || bytes.size() < 12 || bytes.substr(0, 4) != "RIFF" ||
        bytes.substr(8, 4) != "WAVE")
        return std::nullopt;
    WaveClip clip;
    bool haveFormat = false;
    for (std::size_t at = 12; bytes.size() - at >= 8;) {
        const std::string_view id = bytes.substr(at, 4);
        const uint32_t size = Get32(bytes, at + 4);
        at += 8;
        if (size > bytes.size() - at) return std::nullopt;
        if (id == "fmt ") {
            if (size < 16) return std::nullopt;
            uint32_t format = Get16(bytes, at);
            if (format == kFormatExtensible && size >= 40) format = Get16(bytes, at + 24);  // the subtype's first word
            clip.channels = static_cast<uint16_t>(Get16(bytes, at + 2));
            clip.sampleRate = Get32(bytes, at + 4);
            if (format != kFormatPcm || Get16(bytes, at + 14) != 16 || Get16(bytes, at + 12) != 2u * clip.channels ||
                clip.channels == 0 || clip.channels > WaveClip::kMaxChannels || clip.sampleRate < kMinRate ||
                clip.sampleRate > kMaxRate)
                return std::nullopt;
            haveFormat = true;
        } else if (id == "data") {
            if (!haveFormat) return std::nullopt;
            const std::size_t whole = size - size % (2u * clip.channels);
            clip.samples.assign(bytes.substr(at, whole));
            return clip;
        }
        at += size + (size & 1);  // chunks are padded to an even size
        if (at > bytes.size()) return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace vx::platform
