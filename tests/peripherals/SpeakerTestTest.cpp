// The speaker test's model: hit test and clip start, the highlight timer's passes, HDMI device
// detection and the automatic default over a device list of our own; the clips' content.
#include <gtest/gtest.h>

#include <set>

#include "peripherals/SpeakerClips.h"
#include "peripherals/SpeakerTest.h"
#include "support/FakeAudioDevices.h"
#include "support/ManualEventLoop.h"

namespace vx::peripherals {
namespace {

class SpeakerTestTest : public ::testing::Test {
protected:
    test::FakeClock clock_;
    test::ManualEventLoop loop_{clock_};
    test::FakeAudioDevices audio_;
    std::vector<int32_t> repainted_;  // left edges of the rectangles repainted
    SpeakerTest speakers_{audio_, loop_, "/clips", [this](const SpeakerRect& r) { repainted_.push_back(r.left); }};

    uint32_t Until(int row) const { return speakers_.rows()[static_cast<std::size_t>(row)].highlightUntil; }
};

TEST_F(SpeakerTestTest, AClickOnASpeakerPlaysItsClipAndHighlightsItForItsDuration) {
    // Each rectangle's corners hit its own row; the pixel past it does not.
    for (int i = 0; i < kSpeakerCount; ++i) {
        const SpeakerRect& r = speakers_.rows()[static_cast<std::size_t>(i)].rect;
        EXPECT_EQ(speakers_.HitTest(r.left, r.top), i);
        EXPECT_EQ(speakers_.HitTest(r.left + r.width - 1, r.top + r.height - 1), i);
        EXPECT_NE(speakers_.HitTest(r.left + r.width, r.top + r.height), i);
    }
    EXPECT_EQ(speakers_.HitTest(0, 0), -1);
    EXPECT_FALSE(speakers_.OnClick(0, 0));
    EXPECT_FALSE(speakers_.PlaySpeaker(8));

    ASSERT_TRUE(speakers_.OnClick(360, 400));  // row 3: 2000 ms
    EXPECT_EQ(audio_.played, std::vector<std::string>{"clip3.wav"});
    EXPECT_EQ(Until(2), 2000u);
    EXPECT_EQ(repainted_, std::vector<int32_t>{359});
    EXPECT_TRUE(loop_.HasTimer(kHighlightTimerId));
    EXPECT_EQ(speakers_.selected(), 2);
    ASSERT_TRUE(speakers_.PlaySelected());
    EXPECT_EQ(audio_.played.back(), "clip3.wav");

    // A clip that cannot play is not shown as playing.
    audio_.playable = false;
    EXPECT_FALSE(speakers_.PlaySpeaker(0));
    EXPECT_EQ(Until(0), 0u);
}

TEST_F(SpeakerTestTest, EachPassEndsAtMostOneHighlightAndTheTimerStopsOnThePassWithoutAny) {
    ASSERT_TRUE(speakers_.PlaySpeaker(0));  // 1000 ms
    ASSERT_TRUE(speakers_.PlaySpeaker(1));  // 1000 ms
    repainted_.clear();
    struct Pass {
        uint32_t clock, until0, until1;
        std::vector<int32_t> repainted;
        bool timerRuns;
    };
    const Pass passes[] = {
        {1000, 1000, 1000, {}, true},     // not yet below the clock
        {2000, 0, 1000, {223}, true},     // both due: only the first ends
        {3000, 0, 0, {223, 283}, true},   // the first's flag repaints it, the second ends
        {4000, 0, 0, {283}, false},       // none active: the timer stops
    };
    for (const Pass& pass : passes) {
        SCOPED_TRACE(pass.clock);
        repainted_.clear();
        loop_.RunFor(kHighlightPeriodMs);
        EXPECT_EQ(speakers_.playClock(), pass.clock);
        EXPECT_EQ(Until(0), pass.until0);
        EXPECT_EQ(Until(1), pass.until1);
        EXPECT_EQ(repainted_, pass.repainted);
        EXPECT_EQ(loop_.HasTimer(kHighlightTimerId), pass.timerRuns);
    }
    // A later click starts the timer again, from the clock where it stopped.
    ASSERT_TRUE(speakers_.PlaySpeaker(5));
    EXPECT_EQ(Until(5), 6000u);
    EXPECT_TRUE(loop_.HasTimer(kHighlightTimerId));
}

TEST_F(SpeakerTestTest, FindsTheCardsHdmiDeviceByNameInAnyCaseAndMakesItTheDefault) {
    const platform::AudioDevice speakers{"analog", "Built-in Audio Analog Stereo", "HDA Intel PCH"};
    const platform::AudioDevice hdmi{"hdmi", "HDA NVidia Digital Stereo (HDMI)", "HDA NVidia"};
    const platform::AudioDevice hdmi2{"hdmi2", "GP104 High Definition Audio Controller Digital Stereo (HDMI 2)",
                                      "hda nvidia"};
    struct Case {
        const char* what;
        std::vector<platform::AudioDevice> devices;
        std::string defaultBefore;
        bool autoSet, present;
        std::vector<std::string> defaultsSet;
    };
    const Case cases[] = {
        {"present", {speakers, hdmi}, "analog", true, true, {"hdmi"}},
        {"absent", {speakers}, "analog", true, false, {}},
        {"no sound server", {}, "", true, false, {}},
        {"named by its card, other case", {speakers, hdmi2}, "analog", true, true, {"hdmi2"}},
        {"an HDMI device is already the default", {speakers, hdmi, hdmi2}, "hdmi2", true, true, {}},
        {"option off", {speakers, hdmi}, "analog", false, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::FakeAudioDevices audio;
        audio.devices = c.devices;
        audio.defaultDevice = c.defaultBefore;
        SpeakerTest speakers(audio, loop_, "/clips");
        speakers.StartAutoSelect([&c] { return c.autoSet; });
        loop_.RunFor(kAutoSelectPeriodMs);
        speakers.WaitForAutoSelect();
        loop_.RunPending();  // the result, posted back
        EXPECT_EQ(speakers.hdmiAudioPresent(), c.present);
        EXPECT_EQ(audio.defaultsSet, c.defaultsSet);
    }
    EXPECT_FALSE(IsHdmiAudioDevice({"x", "NVIDIA", "NVIDIA Corporation"}));
}

TEST(SpeakerClipsTest, EachClipSoundsOnlyOnItsSpeakersChannelForTheRowsDuration) {
    for (const SpeakerRow& row : DefaultSpeakerTable()) {
        SCOPED_TRACE(row.clip);
        const std::optional<platform::WaveClip> clip = platform::DecodeWave(platform::EncodeWave(MakeSpeakerClip(row)));
        ASSERT_TRUE(clip);
        EXPECT_EQ(clip->channels, 8);
        EXPECT_EQ(clip->DurationMs(), row.durationMs);
        std::array<int, kSpeakerCount> peak{};
        for (std::size_t i = 0; i + 1 < clip->samples.size(); i += 2) {
            const auto s = static_cast<int16_t>(uint8_t(clip->samples[i]) | uint8_t(clip->samples[i + 1]) << 8);
            int& p = peak[(i / 2) % kSpeakerCount];
            p = std::max(p, std::abs(int{s}));
        }
        for (int ch = 0; ch < kSpeakerCount; ++ch)
            EXPECT_EQ(peak[static_cast<std::size_t>(ch)] > 10000, ch == static_cast<int>(row.sound)) << ch;
    }
    // Every speaker has a channel, a tone and a name of its own.
    std::set<int> sounds, tones, names;
    for (const SpeakerRow& row : DefaultSpeakerTable()) {
        sounds.insert(static_cast<int>(row.sound));
        tones.insert(static_cast<int>(ClipToneHz(row.sound)));
        names.insert(row.nameRow);
    }
    EXPECT_EQ(sounds.size(), 8u);
    EXPECT_EQ(tones.size(), 8u);
    EXPECT_EQ(names, (std::set<int>{135, 136, 137, 138, 139, 140, 141, 142}));
}

}  // namespace
}  // namespace vx::peripherals
