#include "platform/posix/PulseClient.h"

#include <dlfcn.h>

#include <algorithm>

namespace vx::platform {
namespace {

constexpr std::chrono::milliseconds kDrainMargin{3000};  // the server's own latency, on a busy machine

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
             Resolve(library, "pa_context_get_sink_info_list", api.sinkInfoList) &&
             Resolve(library, "pa_context_get_server_info", api.serverInfo) &&
             Resolve(library, "pa_context_set_default_sink", api.setDefaultSink) &&
             Resolve(library, "pa_proplist_gets", api.proplistGets) &&
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

}  // namespace

const PulseApi& PulseLibrary() {
    static const PulseApi api = LoadApi();
    return api;
}

PulseSession::PulseSession(const std::atomic<bool>& stop) : api_(PulseLibrary()), stop_(stop) {
    if (!api_.ok) return;
    loop_ = api_.mainloopNew();
    if (loop_) context_ = api_.contextNew(api_.mainloopApi(loop_), "Veltrix Plus");
}

PulseSession::~PulseSession() {
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

bool PulseSession::Connect(const std::string& server) {
    if (!context_ ||
        api_.contextConnect(context_, server.empty() ? nullptr : server.c_str(), PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return false;
    return RunUntil(
        [&]() -> std::optional<bool> {
            const pa_context_state_t state = api_.contextState(context_);
            if (state == PA_CONTEXT_READY) return true;
            if (!PA_CONTEXT_IS_GOOD(state)) return false;
            return std::nullopt;
        },
        std::chrono::steady_clock::now() + kConnectTimeout);
}

bool PulseSession::Finish(pa_operation* operation, std::chrono::milliseconds limit) {
    if (!operation) return false;
    const bool done = RunUntil(
        [&]() -> std::optional<bool> {
            const pa_operation_state_t state = api_.operationState(operation);
            if (state == PA_OPERATION_DONE) return true;
            if (state == PA_OPERATION_CANCELLED) return false;
            return std::nullopt;
        },
        std::chrono::steady_clock::now() + limit);
    api_.operationUnref(operation);
    return done;
}

bool PulseSession::Play(const PulsePlayback& playback, const std::string& sink) {
    if (!context_ || stream_ || !playback.samples) return false;
    stream_ = api_.streamNew(context_, playback.streamName, &playback.format, playback.channels);
    if (!stream_) return false;
    // The whole sound fits the buffer, so it is written at once and drained.
    const auto bytes = static_cast<uint32_t>(playback.samples->size());
    const pa_buffer_attr buffer{std::max<uint32_t>(bytes, 1u << 16), bytes, UINT32_MAX, UINT32_MAX, UINT32_MAX};
    if (api_.streamConnect(stream_, sink.empty() ? nullptr : sink.c_str(), &buffer, PA_STREAM_NOFLAGS, nullptr,
                           nullptr) < 0)
        return false;
    const bool ready = RunUntil(
        [&]() -> std::optional<bool> {
            const pa_stream_state_t state = api_.streamState(stream_);
            if (state == PA_STREAM_READY) return true;
            if (!PA_STREAM_IS_GOOD(state)) return false;
            return std::nullopt;
        },
        std::chrono::steady_clock::now() + kConnectTimeout);
    if (!ready || api_.streamWrite(stream_, playback.samples->data(), bytes, nullptr, 0, PA_SEEK_RELATIVE) < 0)
        return false;
    return Finish(api_.streamDrain(stream_, nullptr, nullptr), playback.duration + kDrainMargin);
}

}  // namespace vx::platform
