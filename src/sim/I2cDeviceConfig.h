#pragma once
// How a rig describes one device on a GPU's I2C bus. The live models are built from these
// when a simulator is created (src/sim/I2cDevices.h).
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string_view>

namespace vx::sim {

enum class I2cDeviceKind : uint8_t {
    RpmFanController,         // period-based fan controller (0x5C or 0x5A)
    FanMicrocontroller,       // duty/tach fan microcontroller, identity "sA" (0x5C)
    LegacyVoltageController,  // register 0x1A reads 10; codes in 0x15..0x18 (0xE0)
    StepVoltageController,    // register 0x1A reads 12; code 0x18, apply bit 0x19 (0xE0)
    VoltageController,        // one code register 0x01 (0x60)
    BoardVoltageController,   // one code register 0x6F (0x10)
    BoardDevice,              // board device: 0x01, 0x1C, 0x62, 0x7A
    PowerMonitor,             // board power monitor: 0x01 and a count in 0x03..0x04
    LedController1,           // lighting, one 10-byte frame to register 0x01 (0x40)
    LedController2,           // lighting, colour registers latched by 0x30 (0x8A)
    LedController3,           // lighting, colour registers 0x02..0x04 (0x58)
    LcdModule,                // character display, messages to register 0x40 (0x9C)
};

/// The kinds in declaration order, with the names rig files use.
struct I2cDeviceKindName {
    I2cDeviceKind kind;
    std::string_view name;
};
inline constexpr I2cDeviceKindName kI2cDeviceKindNames[] = {
    {I2cDeviceKind::RpmFanController, "rpmFanController"},
    {I2cDeviceKind::FanMicrocontroller, "fanMicrocontroller"},
    {I2cDeviceKind::LegacyVoltageController, "legacyVoltageController"},
    {I2cDeviceKind::StepVoltageController, "stepVoltageController"},
    {I2cDeviceKind::VoltageController, "voltageController"},
    {I2cDeviceKind::BoardVoltageController, "boardVoltageController"},
    {I2cDeviceKind::BoardDevice, "boardDevice"},
    {I2cDeviceKind::PowerMonitor, "powerMonitor"},
    {I2cDeviceKind::LedController1, "ledController1"},
    {I2cDeviceKind::LedController2, "ledController2"},
    {I2cDeviceKind::LedController3, "ledController3"},
    {I2cDeviceKind::LcdModule, "lcdModule"},
};

inline std::optional<I2cDeviceKind> I2cDeviceKindFromName(std::string_view name) {
    for (const I2cDeviceKindName& entry : kI2cDeviceKindNames)
        if (entry.name == name) return entry.kind;
    return std::nullopt;
}

inline std::string_view I2cDeviceKindToName(I2cDeviceKind kind) {
    for (const I2cDeviceKindName& entry : kI2cDeviceKindNames)
        if (entry.kind == kind) return entry.name;
    return "?";
}

inline constexpr uint16_t kDefaultFanMaxRpm = 3000;
inline constexpr uint16_t kDefaultSensorB = 12;  // low byte 12: (0 x 0.008 + 12 x 0.002) x 6.55

/// One device: which bus (the request's port byte), which 8-bit address, and its power-up state.
struct I2cDeviceConfig {
    I2cDeviceKind kind = I2cDeviceKind::BoardDevice;
    uint8_t port = 0;
    uint8_t address = 0;                    // 8-bit form: 7-bit address x 2
    std::map<uint8_t, uint8_t> registers;   // power-up values; a register the model lacks is added
    std::set<uint8_t> readOnly;             // registers that ignore writes (added when missing)
    uint16_t maxRpm = kDefaultFanMaxRpm;    // fan microcontroller: RPM at full duty, 0 = no tach signal
    uint16_t sensorB = kDefaultSensorB;     // RPM fan controller: the word register 0x1F streams, high byte first

    bool operator==(const I2cDeviceConfig&) const = default;
};

/// At most this many devices per GPU: a board carries a handful.
inline constexpr std::size_t kMaxI2cDevicesPerGpu = 32;

}  // namespace vx::sim
