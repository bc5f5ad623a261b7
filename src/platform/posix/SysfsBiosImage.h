#pragma once
// A real card's video BIOS image from its PCI device's `rom` file in sysfs.
#include "platform/BiosImageSource.h"

#include <filesystem>

namespace vx::platform {

class SysfsBiosImage : public BiosImageSource {
public:
    explicit SysfsBiosImage(std::filesystem::path devices = "/sys/bus/pci/devices") : devices_(std::move(devices)) {}
    /// The ROM of the one NVIDIA display device (enabled for the read, disabled after); empty
    /// when there is not exactly one, or without permission (reading it needs root).
    std::vector<uint8_t> Read(uint8_t gpu, std::size_t maxBytes) override;

private:
    std::filesystem::path devices_;
};

}  // namespace vx::platform
