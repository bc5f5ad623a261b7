#include "platform/DeviceList.h"

#include <libudev.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>

namespace vx::platform {
namespace {

namespace fs = std::filesystem;

// Four hex digits, upper case as the system writes them; nullopt for anything else.
std::optional<std::string> HexId(std::string text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    if (text.empty() || text.size() > 4) return std::nullopt;
    for (char& c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return std::string(4 - text.size(), '0') + text;
}

std::optional<std::string> ReadId(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    char buffer[16] = {};
    in.read(buffer, sizeof(buffer) - 1);  // an id file holds five bytes; never read more than this
    return HexId(std::string(buffer, static_cast<std::size_t>(in.gcount())));
}

class SysfsDeviceList : public DeviceList {
public:
    explicit SysfsDeviceList(fs::path root) : root_(std::move(root)) {}

    UsbDeviceListing PresentUsbDevices() override {
        UsbDeviceListing listing;
        std::error_code ec;
        std::vector<fs::path> entries;
        for (fs::directory_iterator it(root_, ec), end; !ec && it != end; it.increment(ec)) entries.push_back(it->path());
        if (ec) {
            listing.error = UsbDeviceListing::Error::ListFailed;
            return listing;
        }
        std::sort(entries.begin(), entries.end());
        for (const fs::path& entry : entries) {
            // Interfaces of a device have no ids of their own.
            if (!fs::exists(entry / "idVendor", ec)) continue;
            std::optional<std::string> vendor = ReadId(entry / "idVendor");
            std::optional<std::string> product = ReadId(entry / "idProduct");
            if (!vendor || !product) {
                listing.error = UsbDeviceListing::Error::IdentifierFailed;
                break;
            }
            listing.devices.push_back(UsbIdentity{*vendor, *product});
        }
        return listing;
    }

private:
    fs::path root_;
};

struct UdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_monitor* m) const { udev_monitor_unref(m); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};

class UdevHotplugMonitor : public UsbHotplugMonitor {
public:
    bool Open() {
        udev_.reset(udev_new());
        if (!udev_) return false;
        monitor_.reset(udev_monitor_new_from_netlink(udev_.get(), "udev"));
        if (!monitor_) return false;
        udev_monitor_filter_add_match_subsystem_devtype(monitor_.get(), "usb", "usb_device");
        return udev_monitor_enable_receiving(monitor_.get()) == 0;
    }
    int fd() const override { return udev_monitor_get_fd(monitor_.get()); }

    std::optional<UsbEvent> Receive() override {
        std::unique_ptr<udev_device, UdevDeleter> device(udev_monitor_receive_device(monitor_.get()));
        if (!device) return std::nullopt;
        const char* action = udev_device_get_action(device.get());
        if (!action || (std::strcmp(action, "add") != 0 && std::strcmp(action, "remove") != 0)) return std::nullopt;
        // A removed device's files are gone; its event still carries "PRODUCT=vid/pid/bcd".
        const char* product = udev_device_get_property_value(device.get(), "PRODUCT");
        if (!product) return std::nullopt;
        const std::string text(product, strnlen(product, 32));
        const std::size_t first = text.find('/');
        const std::size_t second = first == std::string::npos ? first : text.find('/', first + 1);
        if (second == std::string::npos) return std::nullopt;
        std::optional<std::string> vendor = HexId(text.substr(0, first));
        std::optional<std::string> model = HexId(text.substr(first + 1, second - first - 1));
        if (!vendor || !model) return std::nullopt;
        return UsbEvent{std::strcmp(action, "add") == 0, UsbIdentity{*vendor, *model}};
    }

private:
    std::unique_ptr<udev, UdevDeleter> udev_;
    std::unique_ptr<udev_monitor, UdevDeleter> monitor_;
};

}  // namespace

std::unique_ptr<DeviceList> MakeSysfsDeviceList(fs::path root) { return std::make_unique<SysfsDeviceList>(std::move(root)); }

std::unique_ptr<UsbHotplugMonitor> UsbHotplugMonitor::Open() {
    auto monitor = std::make_unique<UdevHotplugMonitor>();
    if (!monitor->Open()) return nullptr;
    return monitor;
}

std::string SharedLibraryFileName(const std::string& stem) { return stem + ".so"; }

std::string ExecutableFileName(const std::string& stem) { return stem; }

}  // namespace vx::platform
