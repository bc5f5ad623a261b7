#include "peripherals/KeyboardCompanion.h"

#include "tuning/CCorvaneHDDlg.h"

#include <strings.h>

namespace vx::peripherals {
namespace {

namespace image = tuning::image;

bool SameId(const std::string& id, const char* expected) { return ::strcasecmp(id.c_str(), expected) == 0; }

}  // namespace

KeyboardCompanion::KeyboardCompanion(platform::DeviceList& devices, platform::ProcessLauncher& launcher,
                                     ui::IPrompts& prompts, LedEffects& effects, KeyboardBacklight& backlight,
                                     std::filesystem::path programFolder)
    : syncToggle(0, image::kKeyboardSyncOff),
      devices_(devices),
      launcher_(launcher),
      prompts_(prompts),
      effects_(effects),
      backlight_(backlight),
      programFolder_(std::move(programFolder)) {
    ShowControls(false);
    effects_.SetKeyboardSink([this](LedColour colour) { backlight_.SetDeviceDllColour(colour); });
}

KeyboardCompanion::~KeyboardCompanion() { effects_.SetKeyboardSink({}); }

bool KeyboardCompanion::IsCompanion(const platform::UsbIdentity& identity) {
    return SameId(identity.vendor, kVendor) && SameId(identity.product, kProduct);
}

bool KeyboardCompanion::FindCompanionKeyboard() {
    const platform::UsbDeviceListing listing = devices_.PresentUsbDevices();
    for (const platform::UsbIdentity& identity : listing.devices)
        if (IsCompanion(identity)) return true;
    using Error = platform::UsbDeviceListing::Error;
    if (listing.error != Error::None)
        prompts_.MessageBox(listing.error == Error::ListFailed ? kListFailed : kIdentifierFailed, "", ui::BoxIcon::Error,
                            ui::BoxButtons::Ok);
    return false;
}

void KeyboardCompanion::OnPageShown(bool lightingPage) { ShowControls(lightingPage && FindCompanionKeyboard()); }

void KeyboardCompanion::OnDeviceChange(const platform::UsbEvent& event, bool lightingPageActive) {
    if (!IsCompanion(event.identity)) return;
    ShowControls(event.arrived && lightingPageActive);
    SyncOff();
}

void KeyboardCompanion::ToggleKeyboardSync() {
    if (syncToggle.Shows(image::kKeyboardSyncOn)) {
        SyncOff();
        return;
    }
    // Only now does a missing library matter: most machines never have one.
    if (!backlight_.Available()) {
        prompts_.MessageBox(KeyboardBacklight::kMissingLibrary, "", ui::BoxIcon::Warning, ui::BoxButtons::Ok);
        return;
    }
    syncToggle.SetImage(image::kKeyboardSyncOn);
    effects_.SetUseDeviceDll(true);
}

std::filesystem::path KeyboardCompanion::CompanionPath() const {
    return programFolder_ / kProgramName / platform::ExecutableFileName(kProgramName);
}

void KeyboardCompanion::LaunchCompanion() { launcher_.Start(CompanionPath()); }  // a failure is not reported

void KeyboardCompanion::CloseCompanion() { launcher_.Terminate(); }

void KeyboardCompanion::ShowControls(bool shown) {
    for (ui::CCVButton* button : {&syncToggle, &launch}) {
        button->ShowWindow(shown);
        button->EnableWindow(shown);
    }
}

void KeyboardCompanion::SyncOff() {
    syncToggle.SetImage(image::kKeyboardSyncOff);
    effects_.SetUseDeviceDll(false);
}

}  // namespace vx::peripherals
