#pragma once
// The speaker test's clips: a tone of its own on one channel of a 7.1 layout for each speaker,
// as long as the speaker's row says. tools/ClipGenerator writes them at build time.
#include <filesystem>

#include "peripherals/SpeakerTest.h"
#include "platform/WaveFile.h"

namespace vx::peripherals {

inline constexpr uint32_t kClipSampleRate = 48000;  // what HDMI audio runs at

/// The tone each channel plays (Hz): the subwoofer's is low, the rest step up a scale.
uint32_t ClipToneHz(SpeakerChannel channel);
/// The row's clip: 8 channels, silent but for the row's own.
platform::WaveClip MakeSpeakerClip(const SpeakerRow& row);

/// Where the clips are: `templatesDir`/clips when installed, else the build tree's.
std::filesystem::path SpeakerClipFolder(const std::filesystem::path& templatesDir);

}  // namespace vx::peripherals
