#pragma once
// The HDMI audio speaker test: the eight speakers of the page picture, each playing its clip on
// its own channel and highlighted while it plays, and the automatic choice of the card's HDMI
// audio device as the default playback device.
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/AudioDevices.h"
#include "ui/CCVButton.h"
#include "ui/IEventLoop.h"

namespace vx::peripherals {

/// Channels of a 7.1 clip, in the WAVE_FORMAT_EXTENSIBLE order the clips are written in.
enum class SpeakerChannel : uint8_t { FrontLeft, FrontRight, Center, Subwoofer, BackLeft, BackRight, SideLeft, SideRight };

struct SpeakerRect {
    int32_t left, top, width, height;
    bool Contains(int32_t x, int32_t y) const { return x >= left && x < left + width && y >= top && y < top + height; }
};

struct SpeakerRow {
    SpeakerRect rect;      // main-window client pixels
    int32_t image;         // the highlighted picture
    int32_t channel;       // 1 to 8, the clip's number
    const char* clip;
    uint32_t durationMs;
    int32_t nameRow;       // message table
    SpeakerChannel sound;  // where the speaker stands in the picture, and so where its clip sounds
    uint32_t highlightUntil = 0;  // playClock at which the highlight ends; 0 idle
    uint8_t needsRepaint = 0;
};

inline constexpr int kSpeakerCount = 8;
using SpeakerTable = std::array<SpeakerRow, kSpeakerCount>;

/// The fixed table, every speaker idle.
SpeakerTable DefaultSpeakerTable();

inline constexpr uint32_t kAutoSelectTimerId = 45;
inline constexpr uint32_t kAutoSelectPeriodMs = 5000;  // a receiver switched on later is found soon
inline constexpr uint32_t kHighlightTimerId = 56;
inline constexpr uint32_t kHighlightPeriodMs = 1000;

/// Whether `device` is the card's HDMI audio device: its description or card name holds the
/// system's name for it, in any letter case.
bool IsHdmiAudioDevice(const platform::AudioDevice& device);
/// The ids of the card's HDMI audio devices among the playback devices, in the system's order
/// (a card has one per output); empty when there is none.
std::vector<std::string> DetectHdmiAudio(platform::AudioDevices& devices);
/// Makes the first of `hdmiDevices` the default, unless one of them already is.
bool SelectHdmiAsDefault(platform::AudioDevices& devices, const std::vector<std::string>& hdmiDevices);

class SpeakerTest {
public:
    /// `clipFolder` holds clip1.wav ... clip8.wav; `repaint` redraws one speaker's rectangle.
    SpeakerTest(platform::AudioDevices& devices, ui::IEventLoop& loop, std::filesystem::path clipFolder,
                std::function<void(const SpeakerRect&)> repaint = {});
    /// Waits for a look at the devices still in flight (bounded by the sound server's time-outs).
    ~SpeakerTest();
    SpeakerTest(const SpeakerTest&) = delete;
    SpeakerTest& operator=(const SpeakerTest&) = delete;

    /// Replaces the repaint hook (a view that comes and goes).
    void OnRepaint(std::function<void(const SpeakerRect&)> repaint) { repaint_ = std::move(repaint); }
    /// Starts timer 45; each tick runs OnAutoSelectTimer with what `hdmiAutoSet` answers then,
    /// and `changed` afterwards.
    void StartAutoSelect(std::function<bool()> hdmiAutoSet, std::function<void()> changed = {});

    /// The row under a point, or -1.
    int HitTest(int32_t x, int32_t y) const;
    /// A click on the picture: the speaker under it plays. False when none is there.
    bool OnClick(int32_t x, int32_t y);
    /// Plays row `row`'s clip on the default device and highlights the speaker for its duration.
    bool PlaySpeaker(int row);
    /// "Play": the speaker chosen last (the first one at first) once more.
    bool PlaySelected() { return PlaySpeaker(selected_); }

    /// Timer 56.
    void AdvanceSpeakerHighlights();

    /// Timer 45 and "Auto Select HDMI Device": detect, and when present select. The sound
    /// server is asked on a thread of its own, so a server that does not answer never stalls
    /// the window; the result comes back through the event loop. A look still running is not
    /// started again.
    void OnAutoSelectTimer(bool hdmiAutoSet);
    /// Waits for a look in flight (tests; the destructor).
    void WaitForAutoSelect();

    // The page's buttons: "Play" and "Auto Select HDMI Device".
    ui::CCVButton play;
    ui::CCVButton autoSelect;

    const SpeakerTable& rows() const { return rows_; }
    uint32_t playClock() const { return playClock_; }
    bool hdmiAudioPresent() const { return hdmiAudioPresent_; }
    bool highlightTimerRunning() const { return highlightTimerRunning_; }
    int selected() const { return selected_; }

private:
    void Repaint(const SpeakerRow& row) const;

    platform::AudioDevices& devices_;
    ui::IEventLoop& loop_;
    std::filesystem::path clipFolder_;
    std::function<void(const SpeakerRect&)> repaint_;
    SpeakerTable rows_ = DefaultSpeakerTable();
    uint32_t playClock_ = 0;
    bool highlightTimerRunning_ = false;
    bool autoSelectRunning_ = false;
    bool autoSelectBusy_ = false;
    bool hdmiAudioPresent_ = false;
    int selected_ = 0;
    std::function<void()> changed_;
    // Set false by the destructor, on the interface thread, so a result posted later is dropped.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::thread looker_;
};

}  // namespace vx::peripherals
