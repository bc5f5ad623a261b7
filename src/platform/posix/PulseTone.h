#pragma once
// A short sine tone through the PulseAudio client library (PipeWire serves the same API). The
// library is loaded at run time: without it, or without a running sound server, nothing plays
// and nothing fails.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

namespace vx::platform {

class PulseTone {
public:
    static constexpr uint32_t kSampleRate = 44100;
    static constexpr uint32_t kMaxDurationMs = 5000;

    /// `server` names the sound server as the library does ("unix:/run/user/1000/pulse/native");
    /// empty: the library's own choice ($PULSE_SERVER, the session's server).
    explicit PulseTone(std::string server = {});
    /// Stops a tone in flight and waits for its thread, which gives up within a few milliseconds.
    ~PulseTone();
    PulseTone(const PulseTone&) = delete;
    PulseTone& operator=(const PulseTone&) = delete;

    /// Starts the tone on a thread of its own and returns at once. False when the library is
    /// missing or a tone is still playing (the alarm beeps again at the next sample).
    bool Start(uint32_t frequencyHz, uint32_t durationMs);

    /// Plays the tone on the calling thread: true when the server played it to the end. Never
    /// waits longer than twice the connect time-out (PulseSession) plus the tone plus three seconds.
    bool Play(uint32_t frequencyHz, uint32_t durationMs);

    /// Whether the client library could be loaded.
    static bool LibraryAvailable();

    /// The tone as 16-bit mono samples at kSampleRate, with short fades against clicks.
    static std::string Samples(uint32_t frequencyHz, uint32_t durationMs);

private:
    std::string server_;
    std::thread player_;
    std::atomic<bool> playing_{false};
    std::atomic<bool> stop_{false};
};

}  // namespace vx::platform
