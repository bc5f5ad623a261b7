#include "platform/posix/PulseTone.h"

#include "platform/posix/PulseClient.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

namespace vx::platform {
namespace {

constexpr double kAmplitude = 0.3 * 32767;
constexpr uint32_t kFadeSamples = PulseTone::kSampleRate / 200;  // 5 ms

}  // namespace

PulseTone::PulseTone(std::string server) : server_(std::move(server)) {}

PulseTone::~PulseTone() {
    stop_.store(true);
    if (player_.joinable()) player_.join();
}

bool PulseTone::LibraryAvailable() { return PulseLibrary().ok; }

std::string PulseTone::Samples(uint32_t frequencyHz, uint32_t durationMs) {
    const auto count = static_cast<uint32_t>(uint64_t{kSampleRate} * std::min(durationMs, kMaxDurationMs) / 1000);
    std::string bytes;
    bytes.reserve(std::size_t{count} * 2);
    for (uint32_t i = 0; i < count; ++i) {
        const double fade = std::min({1.0, double(i) / kFadeSamples, double(count - i) / kFadeSamples});
        const double phase = 2 * std::numbers::pi * frequencyHz * i / kSampleRate;
        const auto sample = static_cast<int16_t>(std::lround(kAmplitude * fade * std::sin(phase)));
        bytes += static_cast<char>(sample & 0xFF);
        bytes += static_cast<char>((sample >> 8) & 0xFF);
    }
    return bytes;
}

bool PulseTone::Play(uint32_t frequencyHz, uint32_t durationMs) {
    if (!LibraryAvailable()) return false;
    const uint32_t ms = std::min(durationMs, kMaxDurationMs);
    const std::string samples = Samples(frequencyHz, ms);
    PulseSession session(stop_);
    PulsePlayback playback;
    playback.format = {PA_SAMPLE_S16LE, kSampleRate, 1};
    playback.streamName = "Temperature alarm";
    playback.samples = &samples;
    playback.duration = std::chrono::milliseconds(ms);
    return session.Connect(server_) && session.Play(playback);
}

bool PulseTone::Start(uint32_t frequencyHz, uint32_t durationMs) {
    if (!LibraryAvailable() || playing_.exchange(true)) return false;
    if (player_.joinable()) player_.join();  // the last tone has ended: it cleared the flag
    player_ = std::thread([this, frequencyHz, durationMs] {
        Play(frequencyHz, durationMs);
        playing_.store(false);
    });
    return true;
}

}  // namespace vx::platform
