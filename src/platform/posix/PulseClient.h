#pragma once
// The PulseAudio client library (PipeWire serves the same API), loaded at run time and shared
// by the alarm tone and the audio device list: without the library or a running server nothing
// plays and nothing fails. One `PulseSession` is one connection, driven on the calling thread;
// every wait is bounded and gives up as soon as the caller's stop flag is set.
#include <pulse/pulseaudio.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>

namespace vx::platform {

/// The entries of the client library, resolved once; `ok` is false when it is not installed.
struct PulseApi {
    decltype(&pa_mainloop_new) mainloopNew = nullptr;
    decltype(&pa_mainloop_free) mainloopFree = nullptr;
    decltype(&pa_mainloop_get_api) mainloopApi = nullptr;
    decltype(&pa_mainloop_iterate) mainloopIterate = nullptr;
    decltype(&pa_context_new) contextNew = nullptr;
    decltype(&pa_context_connect) contextConnect = nullptr;
    decltype(&pa_context_get_state) contextState = nullptr;
    decltype(&pa_context_disconnect) contextDisconnect = nullptr;
    decltype(&pa_context_unref) contextUnref = nullptr;
    decltype(&pa_context_get_sink_info_list) sinkInfoList = nullptr;
    decltype(&pa_context_get_server_info) serverInfo = nullptr;
    decltype(&pa_context_set_default_sink) setDefaultSink = nullptr;
    decltype(&pa_proplist_gets) proplistGets = nullptr;
    decltype(&pa_stream_new) streamNew = nullptr;
    decltype(&pa_stream_connect_playback) streamConnect = nullptr;
    decltype(&pa_stream_get_state) streamState = nullptr;
    decltype(&pa_stream_write) streamWrite = nullptr;
    decltype(&pa_stream_drain) streamDrain = nullptr;
    decltype(&pa_stream_disconnect) streamDisconnect = nullptr;
    decltype(&pa_stream_unref) streamUnref = nullptr;
    decltype(&pa_operation_get_state) operationState = nullptr;
    decltype(&pa_operation_unref) operationUnref = nullptr;
    bool ok = false;
};

/// The process's copy of the library's entries.
const PulseApi& PulseLibrary();

/// What one playback stream plays: interleaved samples in `format`, laid out by `channels`
/// (null: the library's default layout for the channel count).
struct PulsePlayback {
    pa_sample_spec format{};
    const pa_channel_map* channels = nullptr;
    const char* streamName = "Veltrix Plus";
    const std::string* samples = nullptr;
    std::chrono::milliseconds duration{0};
};

class PulseSession {
public:
    static constexpr std::chrono::milliseconds kConnectTimeout{5000};

    /// Needs `PulseLibrary().ok`.
    explicit PulseSession(const std::atomic<bool>& stop);
    ~PulseSession();
    PulseSession(const PulseSession&) = delete;
    PulseSession& operator=(const PulseSession&) = delete;

    /// Connects to `server` ("unix:/run/user/1000/pulse/native"; empty: the library's choice)
    /// without starting one.
    bool Connect(const std::string& server);
    /// Runs the loop until `done` answers, the deadline passes or stop is set (false).
    template <typename Done>
    bool RunUntil(Done done, std::chrono::steady_clock::time_point deadline) {
        for (;;) {
            api_.mainloopIterate(loop_, 0, nullptr);
            if (const std::optional<bool> result = done()) return *result;
            if (stop_.load() || std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(kPollStep);
        }
    }
    /// Waits for `operation` (taken over; null is a failure) to finish, at most `limit`.
    bool Finish(pa_operation* operation, std::chrono::milliseconds limit);
    /// Plays the samples on `sink` (empty: the default device) to their end.
    bool Play(const PulsePlayback& playback, const std::string& sink = {});

    const PulseApi& api() const { return api_; }
    pa_context* context() const { return context_; }

private:
    static constexpr std::chrono::milliseconds kPollStep{2};
    const PulseApi& api_;
    const std::atomic<bool>& stop_;
    pa_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
};

}  // namespace vx::platform
