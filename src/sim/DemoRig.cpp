// The built-in demo rig. assets/rigs/demo.json holds the same machine; a test keeps them equal.
#include "sim/Rig.h"

#include "gpu/ClockStructs.h"

#include <vector>

namespace vx::sim {
namespace {

constexpr uint32_t kGddr5 = 8;

// The first bytes of each card's video BIOS, as hexadecimal like the rig file writes them.
constexpr const char* kPascalBiosImage =
    "55AA7FEB4B37343030E94C1977CC564944454F200D00000049424D2056474120436F6D70617469626C652042494F532E"
    "0D0A005647412042494F5320544147313037302D46205638362E30342E38352E30302E35420D0A00436F707972696768"
    "742028432920313938382D323031372C204E564944494120436F72702E0D0A0000000000000000000000000000000000"
    "000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000";
constexpr const char* kKeplerBiosImage =
    "55AA7FEB4B37343030E94C1977CC564944454F200D00000049424D2056474120436F6D70617469626C652042494F532E"
    "0D0A005647412042494F5320444130373730205638302E30342E43332E30302E30460D0A00436F707972696768742028"
    "432920313938382D323031372C204E564944494120436F72702E0D0A0000000000000000000000000000000000000000"
    "000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000";

std::vector<uint8_t> HexImage(const char* hex) { return DecodeHex(hex).value_or(std::vector<uint8_t>{}); }

// One domain whose default (the fourth word) is its current frequency.
LegacyDomain Domain(uint32_t id, int32_t khz, int32_t minKhz, int32_t maxKhz) {
    return LegacyDomain{id, khz, khz, minKhz, maxKhz};
}

// Old boards run the processor (shader) clock at twice the graphics clock.
LegacyLevel Level(uint32_t id, uint32_t flags, int32_t graphics, int32_t graphicsMin, int32_t graphicsMax,
                  int32_t memory, int32_t memoryMin, int32_t memoryMax) {
    return LegacyLevel{id, flags,
                       {Domain(nvapi::kClockDomainGraphics, graphics, graphicsMin, graphicsMax),
                        Domain(nvapi::kClockDomainMemory, memory, memoryMin, memoryMax),
                        Domain(nvapi::kClockDomainProcessor, 2 * graphics, 2 * graphicsMin, 2 * graphicsMax)}};
}

// Telemetry: the Pascal board reports a board sensor before the GPU's own and runs a load
// that comes and goes; the Kepler board steps through a few loads.
TelemetryConfig PascalTelemetry() {
    TelemetryConfig t;
    t.sensors = {ThermalSensorConfig{2, nvapi::kThermalTargetBoard, -9, 0, 127},
                 ThermalSensorConfig{1, nvapi::kThermalTargetGpu, 0, 0, 127}};
    t.baseClockKhz = 1607000;
    t.boostClockKhz = 1683000;
    t.idleClockKhz = 139000;
    t.maxClockKhz = 1898000;
    t.memoryClockKhz = 4004000;
    t.idleMemoryClockKhz = 405000;
    t.minVoltageUv = 800000;
    t.maxVoltageUv = 1050000;
    t.defaultPowerW = 180;
    t.idlePowerW = 9;
    t.maxPowerW = 175;
    t.thermalResistanceMilliCPerW = 420;
    t.fanCoolingPercent = 60;
    t.timeConstantMs = 20000;
    t.maxFanRpm = 3200;
    t.load.kind = LoadPatternKind::Square;
    t.load.lowPercent = 5;
    t.load.highPercent = 90;
    t.load.highMs = 60000;
    t.load.lowMs = 60000;
    return t;
}

TelemetryConfig KeplerTelemetry() {
    TelemetryConfig t;
    t.baseClockKhz = 1046000;
    t.boostClockKhz = 1085000;
    t.idleClockKhz = 324000;
    t.maxClockKhz = 1136000;
    t.memoryClockKhz = 3505000;
    t.idleMemoryClockKhz = 324000;
    t.minVoltageUv = 875000;
    t.maxVoltageUv = 1200000;
    t.defaultPowerW = 230;
    t.idlePowerW = 15;
    t.maxPowerW = 215;
    t.thermalResistanceMilliCPerW = 360;
    t.fanCoolingPercent = 55;
    t.timeConstantMs = 25000;
    t.maxFanRpm = 3900;
    t.load.kind = LoadPatternKind::Steps;
    t.load.percents = {3, 40, 75, 98, 20};
    t.load.stepMs = 15000;
    return t;
}

// I2C: the Pascal board carries a lighting controller, the LCD module, a voltage controller,
// the port-1 board device and three power monitors; the Kepler board a fan microcontroller, a
// voltage controller and two power monitors. The monitors give the board power.
I2cDeviceConfig PlacedDevice(I2cDeviceKind kind, uint8_t port, uint8_t address) {
    I2cDeviceConfig config;
    config.kind = kind;
    config.port = port;
    config.address = address;
    return config;
}

std::vector<I2cDeviceConfig> PascalI2cDevices() {
    return {PlacedDevice(I2cDeviceKind::LedController1, 2, 0x40), PlacedDevice(I2cDeviceKind::LcdModule, 2, 0x9C),
            PlacedDevice(I2cDeviceKind::VoltageController, 0, 0x60), PlacedDevice(I2cDeviceKind::BoardDevice, 1, 0x10),
            PlacedDevice(I2cDeviceKind::PowerMonitor, 0, 0x90),      PlacedDevice(I2cDeviceKind::PowerMonitor, 0, 0x92),
            PlacedDevice(I2cDeviceKind::PowerMonitor, 0, 0x94)};
}

std::vector<I2cDeviceConfig> KeplerI2cDevices() {
    I2cDeviceConfig fan = PlacedDevice(I2cDeviceKind::FanMicrocontroller, 2, 0x5C);
    fan.maxRpm = 3900;
    return {fan, PlacedDevice(I2cDeviceKind::VoltageController, 0, 0x60), PlacedDevice(I2cDeviceKind::PowerMonitor, 0, 0x90),
            PlacedDevice(I2cDeviceKind::PowerMonitor, 0, 0x92)};
}

// VF points: graphics on points 0 to 79, memory on point 80.
VfConfig PascalVf() {
    VfConfig vf;
    vf.domains = {VfDomainConfig{nvapi::kVfTypeProg, nvapi::kClockDomainGraphics, 1000000, -200000, 0, 79},
                  VfDomainConfig{nvapi::kVfTypeProg, nvapi::kClockDomainMemory, 1000000, -502000, 80, 80}};
    vf.points.resize(81);
    return vf;
}
// End of VF points

// Clocks: the Pascal board tunes through its VF points, the over-voltage percent and the
// voltage lock.
ClockConfig PascalClocks() {
    ClockConfig clocks;
    clocks.overVoltPercentSupported = true;
    clocks.boostLocksSupported = true;
    return clocks;
}

Pstate20ClockConfig Pstate20Clock(uint32_t domainId, uint32_t typeId, bool editable, int32_t deltaRangeKhz,
                                  uint32_t freqKhz, uint32_t maxFreqKhz) {
    Pstate20ClockConfig clock;
    clock.domainId = domainId;
    clock.typeId = typeId;
    clock.editable = editable;
    clock.deltaMinKhz = -deltaRangeKhz;
    clock.deltaMaxKhz = deltaRangeKhz;
    clock.freqKhz = freqKhz;
    clock.maxFreqKhz = maxFreqKhz;
    return clock;
}

Pstate20VoltageConfig CoreVoltage(bool editable, uint32_t voltUv, int32_t deltaMaxUv) {
    Pstate20VoltageConfig voltage;
    voltage.domainId = nvapi::kVoltageDomainCore;
    voltage.editable = editable;
    voltage.voltUv = voltUv;
    voltage.deltaMaxUv = deltaMaxUv;
    return voltage;
}

// The Kepler board's P-state 2.0 table: P0 with a graphics range and a single memory clock,
// both offsettable, and a core voltage that takes up to +75 mV; P8 (idle) is fixed.
ClockConfig KeplerClocks() {
    ClockConfig clocks;
    Pstate20Config p0;
    p0.pstateId = 0;
    Pstate20ClockConfig graphics =
        Pstate20Clock(nvapi::kClockDomainGraphics, nvapi::kClockTypeRange, true, 200000, 540000, 1202000);
    graphics.voltageDomainId = nvapi::kVoltageDomainCore;
    graphics.minVoltageUv = 875000;
    graphics.maxVoltageUv = 1212000;
    p0.clocks = {graphics,
                 Pstate20Clock(nvapi::kClockDomainMemory, nvapi::kClockTypeSingle, true, 500000, 3505000, 0)};
    p0.baseVoltages = {CoreVoltage(true, 1162000, 75000)};
    Pstate20Config p8;
    p8.pstateId = 8;
    p8.editable = false;
    p8.clocks = {Pstate20Clock(nvapi::kClockDomainGraphics, nvapi::kClockTypeSingle, false, 0, 324000, 0),
                 Pstate20Clock(nvapi::kClockDomainMemory, nvapi::kClockTypeSingle, false, 0, 324000, 0)};
    p8.baseVoltages = {CoreVoltage(false, 875000, 0)};
    clocks.pstates = {p0, p8};
    clocks.overVoltages = {CoreVoltage(true, 1212000, 75000)};
    clocks.pstatesInfo = std::vector<uint32_t>(8, 0);
    clocks.voltageTableCount = 4;
    return clocks;
}
// End of clocks

// Display tools: a 1080p monitor (CEA timing, 148.5 MHz) on the first GPU and, on the second,
// the multi-display device spreading the desktop over two panels.
DisplayModel DemoMonitor() {
    DisplayModel monitor;
    monitor.displayId = 0x80061001;
    monitor.name = "\\\\.\\DISPLAY1";
    return monitor;
}

DisplayModel DemoPanelDevice() {
    DisplayModel device;
    device.displayId = 0x80061002;
    device.name = "\\\\.\\DISPLAY2";
    device.width = 3840;
    device.pixelClock10kHz = 26760;
    device.dp = DpDeviceConfig{true, 2, "TLX2-1.04.7", true, false};
    return device;
}

}  // namespace

Rig DemoRig() {
    Rig rig;
    rig.name = "Demo rig";
    rig.driverVersion = 41091;
    rig.buildBranch = "r410_00";
    rig.interfaceVersion = "R410_00";
    rig.dedicatedVideoMemoryKb = 8 * 1024 * 1024;
    rig.persist = false;

    GpuModel pascal;
    pascal.pciDeviceId = 0x1B82;
    pascal.subsystemId = 0xA0131462;  // upper half 0xA013: the board the A013 rule looks for
    pascal.revisionId = 0xA1;
    pascal.name = "GeForce GTX 1070 Ti";
    pascal.biosVersion = "86.04.85.00.5B";
    // Video BIOS images: the start of the ROM with the maker's tag line ("-F": direct fan writes).
    pascal.biosImage = HexImage(kPascalBiosImage);
    pascal.ramType = kGddr5;
    pascal.memoryBusWidth = 256;
    pascal.legacyLevels = {
        Level(0, 1, 139000, 139000, 607500, 405000, 405000, 810000),
        Level(1, 2, 1088000, 607500, 1240000, 4004000, 810000, 4004000),
        Level(2, 4, 1607000, 1240000, 1683000, 4004000, 4004000, 4504000),
    };
    pascal.currentLegacyLevel = 0;
    pascal.telemetry = PascalTelemetry();
    pascal.i2cDevices = PascalI2cDevices();
    pascal.vf = PascalVf();  // VF points
    pascal.clocks = PascalClocks();  // Clocks
    pascal.displays = {DemoMonitor()};  // Display tools
    rig.gpus.push_back(pascal);

    GpuModel kepler;
    kepler.pciDeviceId = 0x1184;
    kepler.subsystemId = 0x28421462;
    kepler.revisionId = 0xA1;
    kepler.name = "GeForce GTX 770";
    kepler.biosVersion = "80.04.C3.00.0F";
    kepler.biosImage = HexImage(kKeplerBiosImage);
    kepler.ramType = kGddr5;
    kepler.memoryBusWidth = 256;
    kepler.legacyLevels = {
        Level(0, 1, 324000, 324000, 540000, 324000, 324000, 810000),
        Level(1, 2, 705000, 540000, 900000, 1502000, 810000, 1502000),
        Level(2, 4, 1046000, 900000, 1202000, 3505000, 3505000, 4005000),
    };
    kepler.currentLegacyLevel = 0;
    kepler.telemetry = KeplerTelemetry();
    kepler.i2cDevices = KeplerI2cDevices();
    kepler.clocks = KeplerClocks();  // Clocks
    kepler.displays = {DemoPanelDevice()};  // Display tools
    rig.gpus.push_back(kepler);
    return rig;
}

}  // namespace vx::sim
