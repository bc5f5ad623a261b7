#include "peripherals/KeyboardBacklight.h"

#include "platform/DeviceList.h"

namespace vx::peripherals {
namespace {

using SetLedEffectFn = int (*)(int bus, int device, int a, int b, int c, int d);
using SetLedBackColorFn = int (*)(int bus, int device, int modeA, int modeB, int red, int green, int blue);

// Where the keyboard sits and how it lights are the library's business; these are its defaults.
constexpr int kBus = 0, kDevice = 0, kModeA = 1, kModeB = 0;

}  // namespace

KeyboardBacklight::KeyboardBacklight(const std::filesystem::path& programFolder,
                                     std::function<void(const std::string&)> report)
    : library_(platform::DynamicLibrary::Open(programFolder / platform::SharedLibraryFileName(kLibraryStem))),
      report_(std::move(report)) {}

void KeyboardBacklight::SetDeviceDllColour(LedColour colour) {
    lastColour_.store(uint32_t(colour.red) << 16 | uint32_t(colour.green) << 8 | colour.blue);
    if (!library_ || failed_) return;
    if (!effectSet_) {
        auto effect = reinterpret_cast<SetLedEffectFn>(library_->Symbol("SetLEDEffect"));
        if (!effect) {
            failed_ = true;
            if (report_) report_(kMissingExport);
            return;
        }
        effect(kBus, kDevice, 1, 0, 1, 0);
        effectSet_ = true;
    }
    auto backColour = reinterpret_cast<SetLedBackColorFn>(library_->Symbol("SetLEDBackColor"));
    if (!backColour) {
        failed_ = true;
        if (report_) report_(kMissingExport);
        return;
    }
    backColour(kBus, kDevice, kModeA, kModeB, colour.red, colour.green, colour.blue);
}

}  // namespace vx::peripherals
