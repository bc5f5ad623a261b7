#pragma once
// The sound system as a device list the test writes; records what was asked of it.
#include <string>
#include <vector>

#include "platform/AudioDevices.h"

namespace vx::test {

struct FakeAudioDevices final : platform::AudioDevices {
    std::vector<platform::AudioDevice> devices;
    std::string defaultDevice;
    bool playable = true;
    std::vector<std::string> played, defaultsSet;  // clip file names, ids

    std::vector<platform::AudioDevice> PlaybackDevices() override { return devices; }
    std::string DefaultPlaybackDevice() override { return defaultDevice; }
    bool SetDefaultPlaybackDevice(const std::string& id) override {
        defaultsSet.push_back(id);
        defaultDevice = id;
        return true;
    }
    bool PlayClip(const std::filesystem::path& clip) override {
        played.push_back(clip.filename().string());
        return playable;
    }
};

}  // namespace vx::test
