#pragma once
// The sound system's playback devices: the list with names, the default device, and playing a
// clip. Where the card's HDMI audio device shows up, the system names it `kHdmiAudioDeviceName`.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace vx::platform {

/// What the system calls the graphics card's HDMI audio device: Windows names the device
/// itself so; on Linux the kernel's HDA driver names the card so, and the sound server's
/// device descriptions start with it ("HDA NVidia Digital Stereo (HDMI)").
#ifdef _WIN32
inline constexpr const char* kHdmiAudioDeviceName = "NVidia High Definition Audio";
#else
inline constexpr const char* kHdmiAudioDeviceName = "HDA NVidia";
#endif

struct AudioDevice {
    std::string id;           // what the default is set to
    std::string description;  // the name shown to the user
    std::string cardName;     // the sound card's name, where the system tells it
};

/// The three questions may be asked on one thread while clips are started on another.
class AudioDevices {
public:
    virtual ~AudioDevices() = default;
    /// The playback devices in the system's order; empty without a sound server.
    virtual std::vector<AudioDevice> PlaybackDevices() = 0;
    /// The id of the default playback device; empty when unknown.
    virtual std::string DefaultPlaybackDevice() = 0;
    /// Makes `id` the default playback device; false when the system refused.
    virtual bool SetDefaultPlaybackDevice(const std::string& id) = 0;
    /// Starts playing a WAV clip (16-bit PCM, up to 8 channels in the WAVE_FORMAT_EXTENSIBLE
    /// order) on the default device and returns at once; a clip still playing is stopped first.
    /// False when the file is not such a clip or nothing can play it.
    virtual bool PlayClip(const std::filesystem::path& clip) = 0;

    /// The sound server's devices (PulseAudio, or PipeWire through pipewire-pulse). `server`
    /// names it as the client library does; empty: the session's own server.
    static std::unique_ptr<AudioDevices> Make(std::string server = {});
};

}  // namespace vx::platform
