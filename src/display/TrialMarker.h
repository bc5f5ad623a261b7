#pragma once
// Remembers, in a small file, which display runs a tried custom timing, so that a program
// killed during the confirmation reverts it at its next start.
#include "gpu/DisplayEntries.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace vx::display {

/// The marker's file name in the program's data folder.
inline constexpr const char* kTrialMarkerName = "pixel-clock-trial";

class TrialMarker {
public:
    /// An empty path keeps no marker.
    explicit TrialMarker(std::filesystem::path path) : path_(std::move(path)) {}

    /// Written (atomically) before the trial starts; false when it could not be.
    bool Set(uint32_t displayId) const;
    /// After the trial was saved or reverted.
    void Clear() const;
    const std::filesystem::path& path() const { return path_; }

    /// Reverts the trial a marker left behind and removes it. Returns the revert's status, 0
    /// when there was none; an unreadable marker is removed unused.
    int32_t RevertLeftover(const driver::DisplayEntries& entries,
                           const std::function<void(const std::string&)>& trace) const;

private:
    std::filesystem::path path_;
};

}  // namespace vx::display
