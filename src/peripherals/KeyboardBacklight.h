#pragma once
// The companion keyboard's vendor library, which lights the keyboard in the card's colours.
#include "peripherals/LedController.h"
#include "platform/DynamicLibrary.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace vx::peripherals {

class KeyboardBacklight {
public:
    static constexpr const char* kLibraryStem = "DeviceDll";
    static constexpr const char* kMissingLibrary = "Can not find DeviceDll Dll file.\n";
    static constexpr const char* kMissingExport = "SetLEDColor error";

    /// Loads the library from the program folder; a missing one is reported only when sync is
    /// turned on (Available()).
    KeyboardBacklight(const std::filesystem::path& programFolder, std::function<void(const std::string&)> report);

    bool Available() const { return library_ != nullptr; }
    /// One colour to the keyboard: the effect call once, then the colour call. Called on the
    /// effect thread only.
    void SetDeviceDllColour(LedColour colour);
    uint32_t lastColour() const { return lastColour_.load(); }  // 0xRRGGBB

private:
    std::unique_ptr<platform::DynamicLibrary> library_;
    std::function<void(const std::string&)> report_;
    bool effectSet_ = false;
    bool failed_ = false;  // reported once, not at every colour
    std::atomic<uint32_t> lastColour_{0};
};

}  // namespace vx::peripherals
