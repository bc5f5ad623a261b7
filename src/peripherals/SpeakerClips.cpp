#include "peripherals/SpeakerClips.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vx::peripherals {
namespace {

constexpr double kAmplitude = 0.5 * 32767;
constexpr uint32_t kFadeFrames = kClipSampleRate / 100;  // 10 ms, against clicks

}  // namespace

uint32_t ClipToneHz(SpeakerChannel channel) {
    static constexpr uint32_t kTones[kSpeakerCount] = {440, 494, 523, 60, 587, 659, 698, 784};
    return kTones[static_cast<std::size_t>(channel)];
}

platform::WaveClip MakeSpeakerClip(const SpeakerRow& row) {
    platform::WaveClip clip;
    clip.channels = kSpeakerCount;
    clip.sampleRate = kClipSampleRate;
    const auto frames = static_cast<uint32_t>(uint64_t{kClipSampleRate} * row.durationMs / 1000);
    const auto own = static_cast<uint32_t>(row.sound);
    const double hz = ClipToneHz(row.sound);
    clip.samples.assign(std::size_t{frames} * kSpeakerCount * 2, '\0');
    for (uint32_t i = 0; i < frames; ++i) {
        const double fade = std::min({1.0, double(i) / kFadeFrames, double(frames - i) / kFadeFrames});
        const auto sample =
            static_cast<int16_t>(std::lround(kAmplitude * fade * std::sin(2 * std::numbers::pi * hz * i / kClipSampleRate)));
        const std::size_t at = (std::size_t{i} * kSpeakerCount + own) * 2;
        clip.samples[at] = static_cast<char>(sample & 0xFF);
        clip.samples[at + 1] = static_cast<char>((sample >> 8) & 0xFF);
    }
    return clip;
}

std::filesystem::path SpeakerClipFolder(const std::filesystem::path& templatesDir) {
    std::error_code ec;
    const std::filesystem::path installed = templatesDir / "clips";
    if (std::filesystem::is_regular_file(installed / "clip1.wav", ec)) return installed;
    return std::filesystem::path(VX_BUILD_CLIPS);
}

}  // namespace vx::peripherals
