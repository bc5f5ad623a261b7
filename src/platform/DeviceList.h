#pragma once
// The USB devices the system has attached, and their plug and unplug events.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vx::platform {

/// Vendor and product as four hex digits, the way the system writes them.
struct UsbIdentity {
    std::string vendor;
    std::string product;
};

struct UsbDeviceListing {
    enum class Error { None, ListFailed, IdentifierFailed };
    Error error = Error::None;
    std::vector<UsbIdentity> devices;  // in enumeration order, up to a failed identifier
};

struct UsbEvent {
    bool arrived = false;  // false: removed
    UsbIdentity identity;
};

class DeviceList {
public:
    virtual ~DeviceList() = default;
    virtual UsbDeviceListing PresentUsbDevices() = 0;
};

/// The USB devices under `root` (each a folder with idVendor and idProduct files).
std::unique_ptr<DeviceList> MakeSysfsDeviceList(std::filesystem::path root = "/sys/bus/usb/devices");

/// Plug and unplug events of whole USB devices. Poll `fd()` for reading (the interface thread
/// does, through its event loop) and take each event with Receive().
class UsbHotplugMonitor {
public:
    virtual ~UsbHotplugMonitor() = default;
    virtual int fd() const = 0;
    /// The next event, or nullopt when none is waiting or it is not a USB device.
    virtual std::optional<UsbEvent> Receive() = 0;
    /// The system's monitor; null when it cannot be opened.
    static std::unique_ptr<UsbHotplugMonitor> Open();
};

/// The file name a shared library called `stem` has on this system.
std::string SharedLibraryFileName(const std::string& stem);
/// The file name a program called `stem` has on this system.
std::string ExecutableFileName(const std::string& stem);

}  // namespace vx::platform
