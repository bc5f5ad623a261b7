#pragma once
// The simulated machine: GPUs and what their driver reports. Later features add fields here.
#include "gpu/DriverStructs.h"
#include "sim/ClockConfig.h"  // Clocks
#include "sim/CoolerConfig.h"  // Cooler control
#include "sim/DisplayConfig.h"  // Display tools
#include "sim/I2cDeviceConfig.h"
#include "sim/PowerConfig.h"  // Power
#include "sim/TelemetryConfig.h"
#include "sim/VfConfig.h"  // VF points

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vx::sim {

struct LegacyDomain {
    uint32_t domainId = nvapi::kClockDomainGraphics;  // 0 graphics, 4 memory, 7 processor
    int32_t frequencyKhz = 0;
    int32_t fourthWord = 0;
    int32_t minKhz = 0;
    int32_t maxKhz = 0;

    bool operator==(const LegacyDomain&) const = default;
};

struct LegacyLevel {
    uint32_t levelId = 0;
    uint32_t flags = 0;  // 0 or 1: 2D; bit 1: 3D low power; bit 2: 3D performance
    std::vector<LegacyDomain> domains;

    bool operator==(const LegacyLevel&) const = default;
};

struct GpuModel {
    uint16_t pciDeviceId = 0;       // e.g. 0x1B82
    uint16_t pciVendorId = 0x10DE;
    uint32_t subsystemId = 0;
    uint32_t revisionId = 0xA1;
    bool computeMode = false;       // listed by the compute (TCC) enumeration instead
    std::string name;               // full name, e.g. "GeForce GTX 1080"
    std::string biosVersion;        // e.g. "86.04.17.00.01"
    std::vector<uint8_t> biosImage;  // the start of the video BIOS image; empty: none readable
    uint32_t ramType = 0;
    uint32_t memoryBusWidth = 0;    // bits
    std::vector<LegacyLevel> legacyLevels;
    uint32_t currentLegacyLevel = 0;  // index into legacyLevels
    TelemetryConfig telemetry;        // sensors, rated clocks and the live model's constants
    // I2C: the devices on the card's buses (at most kMaxI2cDevicesPerGpu).
    std::vector<I2cDeviceConfig> i2cDevices;
    // Clocks: P-state 2.0 table, over-voltage, boost locks, P-state information.
    ClockConfig clocks;
    // Power: client power and thermal policies.
    PowerConfig power;
    // VF points: clock domains and points (empty: the GPU has no VF interface).
    VfConfig vf;
    // Cooler control: the coolers, their policy and level, and fan-stop.
    CoolerConfig cooler;
    // Display tools: the monitors and devices on the GPU's outputs.
    std::vector<DisplayModel> displays;

    uint32_t PciDeviceWord() const { return (uint32_t(pciDeviceId) << 16) | pciVendorId; }
    bool operator==(const GpuModel&) const = default;
};

struct Rig {
    std::string name;
    uint32_t driverVersion = 0;     // e.g. 41091 for 410.91
    std::string buildBranch;
    std::string interfaceVersion;   // what GetInterfaceVersionString reports
    uint32_t dedicatedVideoMemoryKb = 0;
    std::vector<GpuModel> gpus;
    bool persist = false;           // keep written state in a file beside the rig
    std::filesystem::path sourceFile;  // empty for built-in or built rigs
    // Power: the driver settings base profile, setting ID -> 32-bit value.
    std::map<uint32_t, uint32_t> drsBaseProfile;

    bool operator==(const Rig&) const = default;
};

// Bounds of a rig: what the driver's structures can carry.
inline constexpr std::size_t kMaxRigGpus = nvapi::kMaxPhysicalGpus;
inline constexpr std::size_t kMaxLegacyLevels = nvapi::kLegacyMaxLevels;
inline constexpr std::size_t kMaxLegacyDomains = nvapi::kLegacyMaxDomains;
inline constexpr std::size_t kMaxBiosImageBytes = 64 * 1024;
inline constexpr std::size_t kMaxDriverString = nvapi::kShortStringSize - 1;  // plus the terminating zero

/// A rig file that could not be used: which file, which field, what was expected.
struct RigError {
    std::string message;
};

struct RigLoadResult {
    std::optional<Rig> rig;
    std::optional<RigError> error;
};

/// Rig files are hand-written and small; anything bigger is refused unread.
inline constexpr std::uintmax_t kMaxRigFileBytes = 4 * 1024 * 1024;
/// Reads a rig file. Never throws: a bad file yields `error` naming the file and the field.
RigLoadResult LoadRigFile(const std::filesystem::path& path);
/// Parses rig JSON text; `sourceName` is the file name used in error messages.
RigLoadResult ParseRigJson(const std::string& text, const std::string& sourceName);
/// Bytes written as hexadecimal digits, two per byte; none for anything else.
std::optional<std::vector<uint8_t>> DecodeHex(std::string_view hex);
/// The built-in demo rig: two GPUs of different families.
Rig DemoRig();

}  // namespace vx::sim
