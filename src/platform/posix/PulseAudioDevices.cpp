// Playback devices of the sound server through the PulseAudio client library: sinks with
// their descriptions and ALSA card names, the default sink, and clips played on a thread.
#include "platform/AudioDevices.h"

#include <atomic>
#include <thread>
#include <utility>

#include "platform/AtomicFile.h"
#include "platform/WaveFile.h"
#include "platform/posix/PulseClient.h"

namespace vx::platform {
namespace {

constexpr std::chrono::milliseconds kQueryTimeout{3000};

// Channel positions of a WAVE_FORMAT_EXTENSIBLE clip with the standard mask.
pa_channel_map WaveChannelMap(uint16_t channels) {
    static constexpr pa_channel_position_t kByCount[WaveClip::kMaxChannels + 1][WaveClip::kMaxChannels] = {
        {},
        {PA_CHANNEL_POSITION_MONO},
        {PA_CHANNEL_POSITION_FRONT_LEFT, PA_CHANNEL_POSITION_FRONT_RIGHT},
        {PA_CHANNEL_POSITION_FRONT_LEFT, PA_CHANNEL_POSITION_FRONT_RIGHT, PA_CHANNEL_POSITION_FRONT_CENTER},
        {PA_CHANNEL_POSITION_FRONT_LEFT, PA_CHANNEL_POSITION_FRONT_RIGHT, PA_CHANNEL_POSITION_REAR_LEFT,
         PA_CHANNEL_POSITION_REAR_RIGHT},
        {PA_CHANNEL_POSITION_FRONT_LEFT, PA_CHANNEL_POSITION_FRONT_RIGHT, PA_CHANNEL_POSITION_FRONT_CENTER,
         PA_CHANNEL_POSITION_REAR_LEFT, PA_CHANNEL_POSITION_REAR_RIGHT},
        {PA_CHANNEL_POSITION_FRONT_LEFT, PA_CHANNEL_POSITION_FRONT_RIGHT, PA_CHANNEL_POSITION_FRONT_CENTER,
         PA_CHANNEL_POSITION_LFE, PA_CHANNEL_POSITION_REAR_LEFT, PA_CHANNEL_POSITION_REAR_RIGHT},
        {PA_CHANNEL_POSITION_FRONT_LEFT, PA_CHANNEL_POSITION_FRONT_RIGHT, PA_CHANNEL_POSITION_FRONT_CENTER,
         PA_CHANNEL_POSITION_LFE, PA_CHANNEL_POSITION_REAR_LEFT, PA_CHANNEL_POSITION_REAR_RIGHT,
         PA_CHANNEL_POSITION_REAR_CENTER},
        {PA_CHANNEL_POSITION_FRONT_LEFT, PA_CHANNEL_POSITION_FRONT_RIGHT, PA_CHANNEL_POSITION_FRONT_CENTER,
         PA_CHANNEL_POSITION_LFE, PA_CHANNEL_POSITION_REAR_LEFT, PA_CHANNEL_POSITION_REAR_RIGHT,
         PA_CHANNEL_POSITION_SIDE_LEFT, PA_CHANNEL_POSITION_SIDE_RIGHT},
    };
    pa_channel_map map{};
    map.channels = static_cast<uint8_t>(channels);
    for (uint16_t i = 0; i < channels && channels <= WaveClip::kMaxChannels; ++i) map.map[i] = kByCount[channels][i];
    return map;
}

class PulseAudioDevices final : public AudioDevices {
public:
    explicit PulseAudioDevices(std::string server) : server_(std::move(server)) {}
    ~PulseAudioDevices() override { StopClip(); }

    std::vector<AudioDevice> PlaybackDevices() override {
        struct Query {
            const PulseApi* api;
            std::vector<AudioDevice> devices;
        } query{&PulseLibrary(), {}};
        const bool listed = Ask([&](PulseSession& session) {
            return session.Finish(session.api().sinkInfoList(
                                      session.context(),
                                      [](pa_context*, const pa_sink_info* info, int eol, void* data) {
                                          auto* q = static_cast<Query*>(data);
                                          if (eol || !info) return;
                                          const char* card = info->proplist ? q->api->proplistGets(info->proplist, "alsa.card_name") : nullptr;
                                          q->devices.push_back({info->name ? info->name : "",
                                                                info->description ? info->description : "",
                                                                card ? card : ""});
                                      },
                                      &query),
                                  kQueryTimeout);
        });
        return listed ? std::move(query.devices) : std::vector<AudioDevice>{};
    }

    std::string DefaultPlaybackDevice() override {
        std::string name;
        Ask([&](PulseSession& session) {
            return session.Finish(session.api().serverInfo(
                                      session.context(),
                                      [](pa_context*, const pa_server_info* info, void* data) {
                                          if (info && info->default_sink_name)
                                              *static_cast<std::string*>(data) = info->default_sink_name;
                                      },
                                      &name),
                                  kQueryTimeout);
        });
        return name;
    }

    bool SetDefaultPlaybackDevice(const std::string& id) override {
        struct Result {
            bool ok = false;
        } result;
        const bool done = Ask([&](PulseSession& session) {
            return session.Finish(session.api().setDefaultSink(
                                      session.context(), id.c_str(),
                                      [](pa_context*, int success, void* data) { static_cast<Result*>(data)->ok = success; },
                                      &result),
                                  kQueryTimeout);
        });
        return done && result.ok;
    }

    bool PlayClip(const std::filesystem::path& clip) override {
        if (!PulseLibrary().ok) return false;
        const std::optional<std::string> bytes = ReadFileLimited(clip, WaveClip::kMaxBytes);
        std::optional<WaveClip> wave = bytes ? DecodeWave(*bytes) : std::nullopt;
        if (!wave) return false;
        StopClip();
        stop_.store(false);
        player_ = std::thread([this, wave = std::move(*wave)] {
            const pa_channel_map channels = WaveChannelMap(wave.channels);
            PulsePlayback playback;
            playback.format = {PA_SAMPLE_S16LE, wave.sampleRate, static_cast<uint8_t>(wave.channels)};
            playback.channels = &channels;
            playback.streamName = "Speaker test";
            playback.samples = &wave.samples;
            playback.duration = std::chrono::milliseconds(wave.DurationMs());
            PulseSession session(stop_);
            if (session.Connect(server_)) session.Play(playback);
        });
        return true;
    }

private:
    // One short connection per question, so a restarted server is simply found again.
    template <typename Question>
    bool Ask(Question ask) {
        if (!PulseLibrary().ok) return false;
        const std::atomic<bool> never{false};
        PulseSession session(never);
        return session.Connect(server_) && ask(session);
    }

    // The thread gives up within a few milliseconds once asked.
    void StopClip() {
        stop_.store(true);
        if (player_.joinable()) player_.join();
    }

    std::string server_;
    std::thread player_;
    std::atomic<bool> stop_{false};
};

}  // namespace

std::unique_ptr<AudioDevices> AudioDevices::Make(std::string server) {
    return std::make_unique<PulseAudioDevices>(std::move(server));
}

}  // namespace vx::platform
