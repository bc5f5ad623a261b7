#include "platform/posix/PulseTone.h"

#include <dlfcn.h>
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <utility>

namespace vx::platform {
namespace {

constexpr double kAmplitude = 0.3 * 32767;
constexpr uint32_t kFadeSamples = PulseTone::kSampleRate / 200;  // 5 ms
constexpr std::chrono::milliseconds kDrainMargin{3000};  // the server's own latency, on a busy machine
constexpr std::chrono::milliseconds kPollStep{2};

// The entries of the client library, resolved once; all null when it is not installed.
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

template <typename Fn>
bool Resolve(void* library, const char* name, Fn& fn) {
    fn = reinterpret_cast<Fn>(::dlsym(library, name));
    return fn != nullptr;
}

PulseApi LoadApi() {
    PulseApi api;
    // Kept loaded for the life of the process: its threads-free mainloop needs nothing torn down.
    void* library = ::dlopen("libpulse.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!library) return api;
    api.ok = Resolve(library, "pa_mainloop_new", api.mainloopNew) &&
             Resolve(library, "pa_mainloop_free", api.mainloopFree) &&
             Resolve(library, "pa_mainloop_get_api", api.mainloopApi) &&
             Resolve(library, "pa_mainloop_iterate", api.mainloopIterate) &&
             Resolve(library, "pa_context_new", api.contextNew) &&
             Resolve(library, "pa_context_connect", api.contextConnect) &&
             Resolve(library, "pa_context_get_state", api.contextState) &&
             Resolve(library, "pa_context_disconnect", api.contextDisconnect) &&
             Resolve(library, "pa_context_unref", api.contextUnref) &&
             Resolve(library, "pa_stream_new", api.streamNew) &&
             Resolve(library, "pa_stream_connect_playback", api.streamConnect) &&
             Resolve(library, "pa_stream_get_state", api.streamState) &&
             Resolve(library, "pa_stream_write", api.streamWrite) &&
             Resolve(library, "pa_stream_drain", api.streamDrain) &&
             Resolve(library, "pa_stream_disconnect", api.streamDisconnect) &&
             Resolve(library, "pa_stream_unref", api.streamUnref) &&
             Resolve(library, "pa_operation_get_state", api.operationState) &&
             Resolve(library, "pa_operation_unref", api.operationUnref);
    return api;
}

const PulseApi& Api() {
    static const PulseApi api = LoadApi();
    return api;
}

// One connection to the server, torn down in order on every path.
class Session {
public:
    explicit Session(const PulseApi& api) : api_(api) {
        loop_ = api_.mainloopNew();
        if (loop_) context_ = api_.contextNew(api_.mainloopApi(loop_), "Veltrix Plus");
    }
    ~Session() {
        if (stream_) {
            api_.streamDisconnect(stream_);
            api_.streamUnref(stream_);
        }
        if (context_) {
            api_.contextDisconnect(context_);
            api_.contextUnref(context_);
        }
        if (loop_) api_.mainloopFree(loop_);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Runs the loop without sleeping in it until `done` says yes (true) or no (false), the
    // deadline passes or `stop` is set (false).
    template <typename Done>
    bool RunUntil(Done done, std::chrono::steady_clock::time_point deadline, const std::atomic<bool>& stop) {
        for (;;) {
            api_.mainloopIterate(loop_, 0, nullptr);
            if (const std::optional<bool> result = done()) return *result;
            if (stop.load() || std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(kPollStep);
        }
    }

    bool Play(const std::string& server, const std::string& samples, std::chrono::milliseconds duration,
              const std::atomic<bool>& stop) {
        if (!context_) return false;
        const auto start = std::chrono::steady_clock::now();
        if (api_.contextConnect(context_, server.empty() ? nullptr : server.c_str(), PA_CONTEXT_NOAUTOSPAWN,
                                nullptr) < 0)
            return false;
        const bool connected = RunUntil(
            [&]() -> std::optional<bool> {
                const pa_context_state_t state = api_.contextState(context_);
                if (state == PA_CONTEXT_READY) return true;
                if (!PA_CONTEXT_IS_GOOD(state)) return false;
                return std::nullopt;
            },
            start + PulseTone::kConnectTimeout, stop);
        if (!connected) return false;

        const pa_sample_spec format{PA_SAMPLE_S16LE, PulseTone::kSampleRate, 1};
        stream_ = api_.streamNew(context_, "Temperature alarm", &format, nullptr);
        if (!stream_) return false;
        // The whole tone fits the buffer, so it is written at once and drained.
        const auto bytes = static_cast<uint32_t>(samples.size());
        const pa_buffer_attr buffer{std::max<uint32_t>(bytes, 1u << 16), bytes, UINT32_MAX, UINT32_MAX, UINT32_MAX};
        if (api_.streamConnect(stream_, nullptr, &buffer, PA_STREAM_NOFLAGS, nullptr, nullptr) < 0) return false;
        const auto end = std::chrono::steady_clock::now() + PulseTone::kConnectTimeout;
        const bool ready = RunUntil(
            [&]() -> std::optional<bool> {
                const pa_stream_state_t state = api_.streamState(stream_);
                if (state == PA_STREAM_READY) return true;
                if (!PA_STREAM_IS_GOOD(state)) return false;
                return std::nullopt;
            },
            end, stop);
        if (!ready || api_.streamWrite(stream_, samples.data(), samples.size(), nullptr, 0, PA_SEEK_RELATIVE) < 0)
            return false;

        pa_operation* drain = api_.streamDrain(stream_, nullptr, nullptr);
        if (!drain) return false;
        const bool drained = RunUntil(
            [&]() -> std::optional<bool> {
                const pa_operation_state_t state = api_.operationState(drain);
                if (state == PA_OPERATION_DONE) return true;
                if (state == PA_OPERATION_CANCELLED) return false;
                return std::nullopt;
            },
            std::chrono::steady_clock::now() + duration + kDrainMargin, stop);
        api_.operationUnref(drain);
        return drained;
    }

private:
    const PulseApi& api_;
    pa_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
};

}  // namespace

PulseTone::PulseTone(std::string server) : server_(std::move(server)) {}

PulseTone::~PulseTone() {
    stop_.store(true);
    if (player_.joinable()) player_.join();
}

bool PulseTone::LibraryAvailable() { return Api().ok; }

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
    Session session(Api());
    return session.Play(server_, Samples(frequencyHz, ms), std::chrono::milliseconds(ms), stop_);
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
