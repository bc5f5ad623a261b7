#include "peripherals/SpeakerTest.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "app/CMultiLangSupp.h"

namespace vx::peripherals {
namespace {

constexpr int kPlayId = 1240, kAutoSelectId = 1241;

bool ContainsNoCase(const std::string& text, std::string_view part) {
    return std::search(text.begin(), text.end(), part.begin(), part.end(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           }) != text.end();
}

}  // namespace

SpeakerTable DefaultSpeakerTable() {
    // The picture puts the center speaker at the top middle, the fronts beside it, the sides
    // left and right, the backs at the bottom and the subwoofer by the left side speaker.
    using C = SpeakerChannel;
    return {{
        {{223, 380, 25, 48}, 207, 1, "clip1.wav", 1000, 135, C::FrontLeft},
        {{283, 343, 33, 15}, 209, 2, "clip2.wav", 1000, 141, C::Center},
        {{359, 380, 20, 46}, 205, 3, "clip3.wav", 2000, 136, C::FrontRight},
        {{456, 402, 28, 61}, 210, 4, "clip4.wav", 1000, 138, C::SideRight},
        {{416, 459, 33, 75}, 211, 5, "clip5.wav", 1000, 140, C::BackRight},
        {{158, 459, 33, 74}, 208, 6, "clip6.wav", 2000, 139, C::BackLeft},
        {{124, 401, 32, 61}, 206, 7, "clip7.wav", 2000, 137, C::SideLeft},
        {{156, 407, 39, 28}, 212, 8, "clip8.wav", 1000, 142, C::Subwoofer},
    }};
}

bool IsHdmiAudioDevice(const platform::AudioDevice& device) {
    return ContainsNoCase(device.description, platform::kHdmiAudioDeviceName) ||
           ContainsNoCase(device.cardName, platform::kHdmiAudioDeviceName);
}

SpeakerTest::SpeakerTest(platform::AudioDevices& devices, ui::IEventLoop& loop, std::filesystem::path clipFolder,
                         std::function<void(const SpeakerRect&)> repaint)
    : play(kPlayId), autoSelect(kAutoSelectId), devices_(devices), loop_(loop), clipFolder_(std::move(clipFolder)),
      repaint_(std::move(repaint)) {
    play.SetCaption(app::Text(144));
    autoSelect.SetCaption(app::Text(143));
    autoSelect.SetTooltip(app::Text(155));
}

std::vector<std::string> DetectHdmiAudio(platform::AudioDevices& devices) {
    std::vector<std::string> found;
    for (const platform::AudioDevice& device : devices.PlaybackDevices())
        if (IsHdmiAudioDevice(device)) found.push_back(device.id);
    return found;
}

bool SelectHdmiAsDefault(platform::AudioDevices& devices, const std::vector<std::string>& hdmiDevices) {
    if (hdmiDevices.empty()) return false;
    const std::string current = devices.DefaultPlaybackDevice();
    // Already on one of the card's HDMI devices: nothing to change.
    if (std::find(hdmiDevices.begin(), hdmiDevices.end(), current) != hdmiDevices.end()) return true;
    return devices.SetDefaultPlaybackDevice(hdmiDevices.front());
}

SpeakerTest::~SpeakerTest() {
    *alive_ = false;
    WaitForAutoSelect();
    if (highlightTimerRunning_) loop_.KillTimer(kHighlightTimerId);
    if (autoSelectRunning_) loop_.KillTimer(kAutoSelectTimerId);
}

void SpeakerTest::StartAutoSelect(std::function<bool()> hdmiAutoSet, std::function<void()> changed) {
    autoSelectRunning_ = true;
    changed_ = std::move(changed);
    loop_.SetTimer(kAutoSelectTimerId, kAutoSelectPeriodMs,
                   [this, hdmiAutoSet = std::move(hdmiAutoSet)] { OnAutoSelectTimer(hdmiAutoSet && hdmiAutoSet()); });
}

int SpeakerTest::HitTest(int32_t x, int32_t y) const {
    for (int i = 0; i < kSpeakerCount; ++i)
        if (rows_[static_cast<std::size_t>(i)].rect.Contains(x, y)) return i;
    return -1;
}

bool SpeakerTest::OnClick(int32_t x, int32_t y) {
    const int row = HitTest(x, y);
    return row >= 0 && PlaySpeaker(row);
}

bool SpeakerTest::PlaySpeaker(int row) {
    if (row < 0 || row >= kSpeakerCount) return false;
    selected_ = row;
    SpeakerRow& speaker = rows_[static_cast<std::size_t>(row)];
    // A clip that cannot be read (or no sound library) is not shown as playing.
    if (!devices_.PlayClip(clipFolder_ / speaker.clip)) return false;
    speaker.highlightUntil = playClock_ + speaker.durationMs;
    if (speaker.highlightUntil == 0) speaker.highlightUntil = 1;  // 0 means idle, even where the clock wraps
    speaker.needsRepaint = 0;
    Repaint(speaker);
    if (!highlightTimerRunning_) {
        highlightTimerRunning_ = true;
        loop_.SetTimer(kHighlightTimerId, kHighlightPeriodMs, [this] { AdvanceSpeakerHighlights(); });
    }
    return true;
}

void SpeakerTest::AdvanceSpeakerHighlights() {
    playClock_ += kHighlightPeriodMs;
    int active = 0;
    for (SpeakerRow& row : rows_) {
        if (row.highlightUntil != 0) ++active;
        if (row.highlightUntil == 0 && row.needsRepaint) {
            Repaint(row);
            row.needsRepaint = 0;
        }
        // One highlight ends per pass.
        if (row.highlightUntil != 0 && row.highlightUntil < playClock_) {
            Repaint(row);
            row.highlightUntil = 0;
            row.needsRepaint = 1;
            break;
        }
    }
    if (active == 0) {
        loop_.KillTimer(kHighlightTimerId);
        highlightTimerRunning_ = false;
    }
}

void SpeakerTest::OnAutoSelectTimer(bool hdmiAutoSet) {
    if (!hdmiAutoSet || autoSelectBusy_) return;
    autoSelectBusy_ = true;
    WaitForAutoSelect();  // the last look has posted its result already
    // The thread owns nothing of ours but the device seam, whose questions are independent.
    looker_ = std::thread([this, alive = alive_] {
        const std::vector<std::string> hdmi = DetectHdmiAudio(devices_);
        SelectHdmiAsDefault(devices_, hdmi);
        loop_.Post([this, alive, present = !hdmi.empty()] {
            if (!*alive) return;
            hdmiAudioPresent_ = present;
            autoSelectBusy_ = false;
            if (changed_) changed_();
        });
    });
}

void SpeakerTest::WaitForAutoSelect() {
    if (looker_.joinable()) looker_.join();
}

void SpeakerTest::Repaint(const SpeakerRow& row) const {
    if (repaint_) repaint_(row.rect);
}

}  // namespace vx::peripherals
