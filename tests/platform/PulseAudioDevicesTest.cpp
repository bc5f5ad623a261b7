// The speaker test against a real sound server started here: an HDMI sink named as the card's
// HDA device becomes the default when "HdmiAutoSet" is on, and clip 3 sounds on its own channel
// of that sink for about 2 s. The clip reader's refusals, with no server needed.
#include <gtest/gtest.h>

#include <csignal>
#include <regex>

#include "peripherals/SpeakerClips.h"
#include "peripherals/SpeakerTest.h"
#include "platform/AudioDevices.h"
#include "platform/WaveFile.h"
#include "support/ManualEventLoop.h"
#include "support/SoundServer.h"

namespace vx::platform {
namespace {

constexpr const char* k71 = "front-left,front-right,front-center,lfe,rear-left,rear-right,side-left,side-right";

// A number sox's "stat" printed after `label`, or -1.
double SoxStat(const std::string& text, const std::string& label) {
    std::smatch m;
    if (!std::regex_search(text, m, std::regex(label + R"(:\s+(-?[0-9.]+))"))) return -1;
    return std::stod(m[1]);
}

TEST(PulseAudioDevicesTest, HdmiAutoSetMakesTheHdmiSinkTheDefaultAndClipThreePlaysOnItsChannel) {
    test::SoundServer server({"module-null-sink sink_name=vx_speakers sink_properties=device.description=Speakers",
                              std::string("module-null-sink sink_name=vx_hdmi channels=8 channel_map=") + k71 +
                                  " sink_properties='device.description=\"HDA NVidia Digital Surround 7.1 (HDMI)\"'"});
    if (!server.running()) GTEST_SKIP() << "the sound server cannot start on this machine: " << server.why();
    const std::string pactl = test::SoundServer::OnPath("pactl"), parecord = test::SoundServer::OnPath("parecord"),
                      sox = test::SoundServer::OnPath("sox");
    ASSERT_FALSE(pactl.empty() || parecord.empty() || sox.empty()) << "pulseaudio-utils and sox (scripts/setup.sh)";
    const std::string at = "--server=" + server.address();
    ASSERT_TRUE(server.Run(pactl, {at, "set-default-sink", "vx_speakers"}));

    std::unique_ptr<AudioDevices> audio = AudioDevices::Make(server.address());
    const std::vector<AudioDevice> devices = audio->PlaybackDevices();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[1].id, "vx_hdmi");
    EXPECT_EQ(devices[1].description, "HDA NVidia Digital Surround 7.1 (HDMI)");
    EXPECT_EQ(audio->DefaultPlaybackDevice(), "vx_speakers");

    test::FakeClock clock;
    test::ManualEventLoop loop(clock);
    peripherals::SpeakerTest speakers(*audio, loop, peripherals::SpeakerClipFolder("/nonexistent"));
    speakers.StartAutoSelect([] { return true; });
    loop.RunFor(peripherals::kAutoSelectPeriodMs);
    speakers.WaitForAutoSelect();
    loop.RunPending();
    EXPECT_TRUE(speakers.hdmiAudioPresent());
    EXPECT_EQ(server.Run(pactl, {at, "get-default-sink"}), std::optional<std::string>("vx_hdmi\n"));

    const auto recording = server.dir() / "clip3.wav";
    test::ChildProcess recorder(parecord,
                                {at, "--device=vx_hdmi.monitor", "--file-format=wav", "--channels=8",
                                 std::string("--channel-map=") + k71, recording.string()},
                                server.env(), server.OutputDir("recorder"));
    // The monitor streams silence once the recorder is connected.
    ASSERT_TRUE(test::SoundServer::WaitFor([&] { return test::TempDir::ReadFile(recording).size() > 65536; }))
        << "nothing recorded: " << recorder.Stderr();
    ASSERT_TRUE(speakers.PlaySpeaker(2));
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));  // the clip, and a margin for the server
    recorder.Signal(SIGINT);
    ASSERT_TRUE(recorder.Wait().has_value());

    // The sound, with the silence around it cut: about 2 s on front right, nothing elsewhere.
    const std::optional<std::string> right = server.Run(sox, {recording.string(), "-n", "remix", "2", "silence", "1",
                                                              "0.02", "1%", "reverse", "silence", "1", "0.02", "1%",
                                                              "reverse", "stat"});
    ASSERT_TRUE(right);
    EXPECT_GT(SoxStat(*right, "Maximum amplitude"), 0.3) << *right;
    EXPECT_NEAR(SoxStat(*right, "Length \\(seconds\\)"), 2.0, 0.25) << *right;
    for (const char* other : {"1", "3", "4", "5", "6", "7", "8"}) {
        const std::optional<std::string> quiet = server.Run(sox, {recording.string(), "-n", "remix", other, "stat"});
        ASSERT_TRUE(quiet);
        EXPECT_LT(SoxStat(*quiet, "Maximum amplitude"), 0.01) << "channel " << other << *quiet;
    }
}

TEST(PulseAudioDevicesTest, WithoutAServerThereAreNoDevicesAndNothingPlays) {
    std::unique_ptr<AudioDevices> audio = AudioDevices::Make("unix:/nonexistent/vx/native");
    EXPECT_TRUE(audio->PlaybackDevices().empty());
    EXPECT_EQ(audio->DefaultPlaybackDevice(), "");
    EXPECT_FALSE(audio->SetDefaultPlaybackDevice("vx_hdmi"));
    EXPECT_FALSE(audio->PlayClip("/nonexistent/clip1.wav"));
}

TEST(WaveFileTest, ReadsWhatItWritesAndRefusesAnythingElse) {
    WaveClip clip{2, 8000, std::string(4000, '\x11')};
    const std::string good = EncodeWave(clip);
    const std::optional<WaveClip> back = DecodeWave(good);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->channels, 2);
    EXPECT_EQ(back->sampleRate, 8000u);
    EXPECT_EQ(back->samples, clip.samples);
    EXPECT_EQ(back->DurationMs(), 125u);

    auto patched = [&](std::size_t at, std::string bytes) { return good.substr(0, at) + bytes + good.substr(at + bytes.size()); };
    const struct {
        const char* what;
        std::string bytes;
    } bad[] = {
        {"empty", ""},
        {"not RIFF", patched(0, "RIFX")},
        {"truncated in the data", good.substr(0, good.size() - 1)},
        {"8-bit", patched(34, std::string("\x08\x00", 2))},
        {"nine channels", patched(22, std::string("\x09\x00", 2))},
        {"no channels", patched(22, std::string("\x00\x00", 2))},
        {"4 kHz", patched(24, std::string("\xA0\x0F\x00\x00", 4))},
        {"float subtype", patched(44, std::string("\x03\x00", 2))},
        {"a chunk past the end", patched(16, std::string("\xFF\xFF\xFF\x7F", 4))},
        {"too large", good + std::string(WaveClip::kMaxBytes, '\0')},
    };
    for (const auto& b : bad) EXPECT_FALSE(DecodeWave(b.bytes)) << b.what;
}

}  // namespace
}  // namespace vx::platform
