// The speaker clips' WAVE reader over any bytes: what it accepts must be a clip it could play and
// must come back the same through the writer.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/WaveFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using vx::platform::WaveClip;
    const auto clip = vx::platform::DecodeWave({reinterpret_cast<const char*>(data), size});
    if (!clip) return 0;
    if (clip->channels == 0 || clip->channels > WaveClip::kMaxChannels) __builtin_trap();
    if (clip->sampleRate < 8000 || clip->sampleRate > 192000) __builtin_trap();
    if (clip->samples.size() > WaveClip::kMaxBytes || clip->samples.size() > size) __builtin_trap();
    if (clip->samples.size() % (2u * clip->channels) != 0) return 0;
    const auto again = vx::platform::DecodeWave(vx::platform::EncodeWave(*clip));
    if (!again || again->channels != clip->channels || again->sampleRate != clip->sampleRate ||
        again->samples != clip->samples)
        __builtin_trap();
    return 0;
}
