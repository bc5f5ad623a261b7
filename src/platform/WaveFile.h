#pragma once
// RIFF WAVE clips of 16-bit PCM: the speaker test's clips are written and played as such.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vx::platform {

struct WaveClip {
    static constexpr uint16_t kMaxChannels = 8;
    static constexpr std::size_t kMaxBytes = 16u << 20;  // far above any test clip

    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    std::string samples;  // interleaved 16-bit little-endian frames

    uint32_t FrameCount() const { return channels ? static_cast<uint32_t>(samples.size() / (2u * channels)) : 0; }
    uint32_t DurationMs() const { return sampleRate ? static_cast<uint32_t>(uint64_t{FrameCount()} * 1000 / sampleRate) : 0; }
};

/// The file's bytes: WAVE_FORMAT_EXTENSIBLE with the standard speaker mask for the channel
/// count (7.1: FL FR FC LFE BL BR SL SR).
std::string EncodeWave(const WaveClip& clip);
/// Reads plain or extensible 16-bit PCM with 1 to 8 channels and 8 to 192 kHz; chunks it does
/// not need are skipped. Nothing for anything else, a truncated file or over kMaxBytes.
std::optional<WaveClip> DecodeWave(std::string_view bytes);

}  // namespace vx::platform
