// Writing and applying the settings file. The text is sized to its content and replaces the
// old file whole, so a failed write never leaves half a file behind.
#include "tuning/UserSettingsFile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <limits>
#include <system_error>

#include "platform/AtomicFile.h"
#include "tuning/ApplyWrites.h"
#include "tuning/CCorvaneHDDlg.h"
#include "platform/CIni.h"

namespace vx::tuning {

namespace aw = applywrites;

namespace {

constexpr int32_t kUnreadFanMode = 255;
constexpr int32_t kUnreadFanSpeed = 40;
constexpr int32_t kUnreadAlarmTemperature = 90;
constexpr uint32_t kFanSettleMs = 100;

// Card-device slots that decide the voltage and alarm keys.
constexpr int kFanControllerSlot = 0;
constexpr int kLegacyVoltageSlot = 2;
constexpr int kCodeVoltageSlot = 3;
constexpr int kLaterVoltageSlot = 7;

// The device a GPU's voltage keys describe: the controllers of slots 2 and 7 keep millivolts
// in the file (their codes converted), slot 3's its byte, the P-state 2.0 path millivolts.
enum class VoltageKeyDevice { None, Slot2, Slot3, Slot7, Pstates20 };

VoltageKeyDevice VoltageKeyDeviceOf(const GpuAccess& gpu, uint8_t g) {
    if (gpu.IsCardDevicePresent(g, kLegacyVoltageSlot)) return VoltageKeyDevice::Slot2;
    if (gpu.IsCardDevicePresent(g, kCodeVoltageSlot)) return VoltageKeyDevice::Slot3;
    if (gpu.IsCardDevicePresent(g, kLaterVoltageSlot)) return VoltageKeyDevice::Slot7;
    if (gpu.usesPstates20(g) && !aw::HasOnCardVoltage(gpu, g)) return VoltageKeyDevice::Pstates20;
    return VoltageKeyDevice::None;
}

// The slot-2 register of `level`; the legacy clock read learns the registers when needed.
uint8_t LegacyVoltageRegister(GpuAccess& gpu, uint8_t g, int32_t level) {
    if (gpu.LegacyVoltageRegister(g, level) == 0) {
        int32_t graphics = 0, processor = 0, memory = 0, kind = 0;
        gpu.GetLegacyCurrentClocks(g, graphics, processor, memory, kind);
    }
    return gpu.LegacyVoltageRegister(g, level);
}

const char* const kLightingKeys[] = {"LEDMODE", "LED_R_CR", "LED_G_CR", "LED_B_CR",
                                     "LED_Timer1", "LED_Timer2", "LED_Timer3"};
const char* const kScreenKeys[] = {"LCM_ScreenF", "LCM_ScreenS", "LCM_ScreenT", "LCM_ScreenFour", "LCM_ScreenFive"};
const char* const kScreenValueKeys[] = {"LCM_Screen1Int", "LCM_Screen2Int", "LCM_Screen3Int"};
const char* const kPsmiKeys[] = {"Psmi33V", "Psmi5V", "Psmi12V", "PsmiFan1", "PsmiFan2"};
// The user fan curve, last in a section. No other key's name begins with one of these, nor
// these with another's: the reader matches names by their beginning.
constexpr const char* kCurveShapeKey = "CurveShape";
const char* const kCurveTempKeys[] = {"CurveTemp1", "CurveTemp2", "CurveTemp3", "CurveTemp4", "CurveTemp5"};
const char* const kCurveFanKeys[] = {"CurveFan1", "CurveFan2", "CurveFan3", "CurveFan4", "CurveFan5"};
static_assert(std::size(kCurveTempKeys) == monitor::FanCurve::kPointCount);

// Level clock keys by work mode, in the order graphics, processor, memory. ("Performace" is
// how the format has always spelled the shader key.)
struct LevelKeys {
    int32_t level;
    const char* graphics;
    const char* processor;
    const char* memory;
    const char* voltage;  // null: the level has no voltage key
};
constexpr LevelKeys kLevels[] = {
    {kWorkMode2D, "Gpu2DClock", "Shader2DClock", "Memory2DClock", "Gpu2DVolt"},
    {kWorkMode3DLow, "Gpu3DLowPowerClock", "Shader3DLowPowerClock", "Memory3DLowPowerClock", nullptr},
    {kWorkMode3DPerf, "Gpu3DPerformanceClock", "Shader3DPerformaceClock", "Memory3DPerformanceClock",
     "Gpu3DPerformanceVolt"},
};

bool HasLevel(const GpuAccess& gpu, uint8_t g, int32_t level) {
    return level == kWorkMode2D ? gpu.has2DLevel(g) : level == kWorkMode3DLow ? gpu.has3DLowPowerLevel(g)
                                                                              : gpu.has3DPerformanceLevel(g);
}

bool HasVoltagePath(const GpuAccess& gpu, uint8_t g) { return aw::HasOnCardVoltage(gpu, g) || gpu.usesPstates20(g); }

// `value` × 1000 when that fits the driver's 32-bit field.
bool Thousandfold(int32_t value, int32_t& out) {
    const int64_t scaled = static_cast<int64_t>(value) * 1000;
    if (scaled < std::numeric_limits<int32_t>::min() || scaled > std::numeric_limits<int32_t>::max()) return false;
    out = static_cast<int32_t>(scaled);
    return true;
}

uint8_t LowByte(int32_t value) { return static_cast<uint8_t>(value & 0xFF); }

// The section text, built in UTF-16 to the size it needs.
class SectionWriter {
public:
    void Text(std::string_view ascii) {
        for (char c : ascii) text_ += static_cast<char16_t>(static_cast<unsigned char>(c));
    }
    void Number(const char* key, int32_t value) {
        char line[96];
        std::snprintf(line, sizeof line, "%s=%d\r\n", key, value);
        Text(line);
    }
    void String(const char* key, std::u16string_view value) {
        Text(key);
        Text("=");
        // A line break would end the value early and turn the rest into keys.
        for (char16_t c : value) text_ += (c == u'\r' || c == u'\n') ? u' ' : c;
        Text("\r\n");
    }
    std::u16string& text() { return text_; }

private:
    std::u16string text_;
};

// The voltage of `level` in the P-state 2.0 table (mV): P-state 0 for 3D performance, else the
// first of the next two P-states that carries one.
int32_t TableVoltageMv(const nvapi::Pstates20Info& table, int32_t level) {
    const uint32_t count = table.numPstates;
    if (count == 0 || count > nvapi::kPstates20MaxPstates || table.numBaseVoltages == 0) return 0;
    auto voltageOf = [&](uint32_t p) { return static_cast<int32_t>(table.pstates[p].baseVoltages[0].voltUv / 1000); };
    if (level == kWorkMode3DPerf || count == 1) return voltageOf(0);
    for (uint32_t p = 1; p < count && p <= 2; ++p)
        if (voltageOf(p) != 0) return voltageOf(p);
    return voltageOf(0);
}

}  // namespace

UserSettingsFile::UserSettingsFile(GpuAccess& gpu, ui::IClock& clock, std::filesystem::path programDir,
                                   LastLoadedRecord& lastLoaded)
    : gpu_(gpu), clock_(clock), programDir_(std::move(programDir)), lastLoaded_(lastLoaded) {}

std::unique_lock<std::mutex> UserSettingsFile::Lock() {
    return dialog_ ? dialog_->LockHardware() : std::unique_lock<std::mutex>();
}

std::filesystem::path UserSettingsFile::Resolve(const std::filesystem::path& path) const {
    const std::filesystem::path name = path.empty() ? std::filesystem::path(kUserSettingsFileName) : path;
    return name.is_absolute() ? name : programDir_ / name;
}

std::string UserSettingsFile::BuildText() {
    SectionWriter out;
    out.text() += char16_t{0xFEFF};
    const int count = std::min<int>(gpu_.GetGpuCount(), kSettingsGpuSlots);
    auto lock = Lock();
    for (int i = 0; i < count; ++i) {
        const auto g = static_cast<uint8_t>(i);
        char head[32];
        std::snprintf(head, sizeof head, "[Gpu%d]\r\n", i + 1);
        out.Text(head);
        out.String("Id", CIni::FromUtf8(gpu_.deviceIdText(g)));

        const GpuRecord* hw = gpu_.Record(g);
        const bool voltagePath = HasVoltagePath(gpu_, g);
        for (const LevelKeys& keys : kLevels) {
            if (!HasLevel(gpu_, g, keys.level)) continue;
            LegacyClockRange range;
            gpu_.GetLegacyClockRange(g, range, keys.level);
            if (hw && hw->hasGraphicsDomain) out.Number(keys.graphics, range.graphics.frequency);
            if (hw && hw->hasProcessorDomain) out.Number(keys.processor, range.processor.frequency);
            if (hw && hw->hasMemoryDomain) out.Number(keys.memory, range.memory.frequency);
            if (keys.voltage && voltagePath) out.Number(keys.voltage, ReadLevelVoltage(g, keys.level));
        }

        int32_t fanMode = 0;
        if (gpu_.GetFanMode(g, fanMode) != nvapi::OK) fanMode = kUnreadFanMode;
        out.Number("FanWorkMode", fanMode);
        if (fanMode != GpuAccess::kFanModeAutomatic) {
            int32_t speed = 0;
            if (gpu_.GetFanSpeed(g, speed, false) != nvapi::OK) speed = kUnreadFanSpeed;
            out.Number("FanSpeed", speed);
        }
        if (gpu_.IsCardDevicePresent(g, kFanControllerSlot) && !gpu_.IsCardDevicePresent(g, kCodeVoltageSlot) &&
            gpu_.fanAccessKind(g) == kFanRpmController) {
            uint8_t alarm = 0;
            out.Number("AlarmTemperature",
                       gpu_.GetAlarmTemperature(g, alarm) == nvapi::OK ? alarm : kUnreadAlarmTemperature);
        }
        out.Number("HorizonValue", kept.horizonValue);
        out.Number("VerticalValue", kept.verticalValue);

        int32_t graphicsKhz = 0, memoryKhz = 0;
        if (aw::ReadPstate0Offsets(gpu_, g, graphicsKhz, memoryKhz)) {
            out.Number("DyaGpuClock", graphicsKhz / 1000);
            out.Number("DyaMemClock", memoryKhz / 1000);
        }
        nvapi::PowerPoliciesStatus power{};
        power.version = nvapi::kPowerPoliciesStatusVer;
        power.count = 1;
        power.entries[0].policyId = nvapi::kPowerPolicyTotalGpu;
        if (gpu_.GetPowerPoliciesStatus(g, power) == nvapi::OK)
            out.Number("PowerTarget", static_cast<int32_t>(power.entries[0].powerLimit / 1000));
        nvapi::ThermalPoliciesInfo thermal{};
        nvapi::ThermalPoliciesStatus thermalStatus{};
        if (gpu_.GetThermalPolicies(g, thermal, thermalStatus) == nvapi::OK) {
            // The temperature target is the acoustic policy's; the first entry stands in without it.
            int32_t limit = thermalStatus.entries[0].currentLimit;
            const uint32_t entries = std::min<uint32_t>(thermalStatus.count, nvapi::kMaxThermalPolicies);
            for (uint32_t e = 0; e < entries; ++e)
                if (thermalStatus.entries[e].policyId == nvapi::kThermalPolicyAcoustic) {
                    limit = thermalStatus.entries[e].currentLimit;
                    break;
                }
            out.Number("TempTarget", limit / nvapi::kThermalUnitsPerC);
        }
        for (std::size_t k = 0; k < kept.psmi.size(); ++k) out.Number(kPsmiKeys[k], kept.psmi[k]);

        // Values of another GPU must not be written for this one: 0 when this one has none.
        int32_t graphicsVf = 0, memoryVf = 0, percent = 0;
        if (gpu_.usesVfPoints(g) && gpu_.ReadVfDomains(g, 0) == nvapi::OK && gpu_.ReadVfOffsets(g) == nvapi::OK) {
            graphicsVf = gpu_.graphicsVfOffsetKhz();
            memoryVf = gpu_.memoryVfOffsetKhz();
        }
        if (gpu_.GetOverVoltPercent(g) == nvapi::OK) percent = gpu_.overVoltPercent();
        out.Number("GpuVF", graphicsVf);
        out.Number("MemVF", memoryVf);
        out.Number("PercentOV", percent);

        const LightingValues& l = kept.lighting;
        const uint8_t lighting[] = {l.mode, l.red, l.green, l.blue, l.timer1, l.timer2, l.timer3};
        for (std::size_t k = 0; k < std::size(lighting); ++k) out.Number(kLightingKeys[k], lighting[k]);
        const LcmValues& lcm = kept.lcm;
        out.Number("LCM_OnOff", lcm.onOff);
        out.Number("LCM_Cmd", lcm.command);
        out.Number("LCM_FontAndScreen", lcm.fontAndScreen);
        for (std::size_t k = 0; k < lcm.screens.size(); ++k)
            out.String(kScreenKeys[k], std::u16string_view(lcm.screens[k]).substr(0, LcmValues::kMaxScreenChars));
        for (std::size_t k = 0; k < lcm.screenValues.size(); ++k) out.Number(kScreenValueKeys[k], lcm.screenValues[k]);

        const monitor::FanCurve& curve = fanCurves[g];
        out.Number(kCurveShapeKey, curve.shape);
        for (std::size_t k = 0; k < curve.points.size(); ++k) {
            out.Number(kCurveTempKeys[k], curve.points[k].x);
            out.Number(kCurveFanKeys[k], curve.points[k].y);
        }
    }

    std::string bytes;
    bytes.reserve(out.text().size() * 2);
    for (char16_t c : out.text()) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

int32_t UserSettingsFile::ReadLevelVoltage(uint8_t g, int32_t level) {
    uint8_t code = 0;
    // Controller codes are kept as their millivolts, truncated; 0 when unread.
    auto millivolts = [&](int32_t status) {
        return status == nvapi::OK ? aw::CodeToWholeMillivolts(gpu_, code).value_or(0) : 0;
    };
    switch (VoltageKeyDeviceOf(gpu_, g)) {
    case VoltageKeyDevice::Slot2: {
        const uint8_t reg = LegacyVoltageRegister(gpu_, g, level);
        return reg != 0 ? millivolts(gpu_.GetVoltageSlot2(g, reg, code)) : 0;
    }
    case VoltageKeyDevice::Slot3: return gpu_.GetVoltageCodeA(g, code) == nvapi::OK ? code : 0;
    case VoltageKeyDevice::Slot7: return millivolts(gpu_.GetVoltageSlot7(g, code));
    case VoltageKeyDevice::Pstates20: {
        auto table = std::make_unique<nvapi::Pstates20Info>();  // 9 KB: off the stack
        return gpu_.GetPstates20(g, *table) == nvapi::OK ? TableVoltageMv(*table, level) : 0;
    }
    case VoltageKeyDevice::None: break;
    }
    return 0;
}

int UserSettingsFile::SaveUserSettings(const std::filesystem::path& path) {
    const std::string bytes = BuildText();
    const std::filesystem::path target = Resolve(path);
    const bool written = writer_ ? writer_(target, bytes) : platform::WriteFileAtomically(target, bytes);
    return written ? 1 : 0;
}

void UserSettingsFile::SaveOrDelete(bool restoreUserSettings) {
    if (restoreUserSettings) {
        SaveUserSettings();
    } else {
        std::error_code ignored;
        std::filesystem::remove(Resolve({}), ignored);
    }
}

int UserSettingsFile::LoadUserSettings(const std::filesystem::path& path) {
    CIni ini;
    if (!ini.Load(Resolve(path))) return 0;
    lastVoltageGpu_ = -1;
    bool applied = false;
    const int count = std::min<int>(gpu_.GetGpuCount(), kSettingsGpuSlots);
    for (int i = 0; i < count; ++i) {
        char section[16];
        std::snprintf(section, sizeof section, "Gpu%d", i + 1);
        const std::optional<std::string> id = ini.GetUtf8(section, "Id");
        const std::string& own = gpu_.deviceIdText(static_cast<uint8_t>(i));
        if (!id || id->size() != own.size() || !std::equal(id->begin(), id->end(), own.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
            }))
            continue;
        ApplySection(ini, static_cast<uint8_t>(i), section);
        applied = true;
    }
    return applied ? 1 : 0;
}

monitor::FanCurve UserSettingsFile::ReadFanCurve(const CIni& ini, const std::string& section) {
    monitor::FanCurve curve;
    bool complete = ini.GetInt(section, kCurveShapeKey, curve.shape);
    for (std::size_t k = 0; k < curve.points.size(); ++k) {
        complete = ini.GetInt(section, kCurveTempKeys[k], curve.points[k].x) && complete;
        complete = ini.GetInt(section, kCurveFanKeys[k], curve.points[k].y) && complete;
    }
    // Older files have no curve; a partial or impossible one is not followed either.
    return complete && curve.IsValid() ? curve : monitor::FanCurve{};
}

void UserSettingsFile::ApplySection(const CIni& ini, uint8_t g, const std::string& section) {
    auto lock = Lock();
    LoadedGpuSettings& stored = loaded[g];
    auto read = [&](const char* key, int32_t& value) { return ini.GetInt(section, key, value); };

    // 1. Levels: the clocks are kept for the window, never written; the voltages are.
    const GpuRecord* hw = gpu_.Record(g);
    for (const LevelKeys& keys : kLevels) {
        if (!HasLevel(gpu_, g, keys.level)) continue;
        const auto at = static_cast<std::size_t>(keys.level);
        if (hw && hw->hasGraphicsDomain) read(keys.graphics, stored.coreClock[at]);
        if (hw && hw->hasProcessorDomain) read(keys.processor, stored.shaderClock[at]);
        if (hw && hw->hasMemoryDomain) read(keys.memory, stored.memoryClock[at]);
        if (!keys.voltage || !HasVoltagePath(gpu_, g)) continue;
        int32_t& voltage = keys.level == kWorkMode2D ? stored.voltage2D : stored.voltage3DPerformance;
        if (read(keys.voltage, voltage)) ApplyLevelVoltage(g, keys.level, voltage);
    }

    // 2 and 3. Values into zeroed variables, as the format has always been read.
    read("HorizonValue", kept.horizonValue);
    read("VerticalValue", kept.verticalValue);
    LastLoadedRecord last{};
    const char* const lastKeys[] = {"DyaGpuClock", "DyaMemClock", "Gpu3DPerformanceVolt", "PowerTarget",
                                    "TempTarget", "FanWorkMode", "FanSpeed"};
    bool present[std::size(lastKeys)] = {};
    for (std::size_t k = 0; k < std::size(lastKeys); ++k) present[k] = read(lastKeys[k], last[k]);
    int32_t graphicsVf = 0, memoryVf = 0, percent = 0;
    const bool hasGraphicsVf = read("GpuVF", graphicsVf);
    const bool hasMemoryVf = read("MemVF", memoryVf);
    const bool hasPercent = read("PercentOV", percent);
    std::array<int32_t, 7> lighting{};
    bool hasLighting = false;
    for (std::size_t k = 0; k < lighting.size(); ++k) hasLighting = read(kLightingKeys[k], lighting[k]) || hasLighting;
    lastLoaded_ = last;
    lastVoltageGpu_ = present[kLastOverVoltage] ? g : -1;
    for (std::size_t k = 0; k < kept.psmi.size(); ++k) read(kPsmiKeys[k], kept.psmi[k]);

    // 4. P-state 2.0 GPUs: clock offsets in MHz, then the targets.
    auto writeTargets = [&] {
        int32_t milliPercent = 0;
        if (present[kLastPowerTarget] && last[kLastPowerTarget] >= 0 &&
            Thousandfold(last[kLastPowerTarget], milliPercent)) {
            uint32_t before = 0;
            bool readOk = false;
            aw::WritePowerTarget(gpu_, g, static_cast<uint32_t>(milliPercent), before, readOk);
        }
        nvapi::ThermalPoliciesInfo info{};
        nvapi::ThermalPoliciesStatus status{};
        if (present[kLastTempTarget] && gpu_.GetThermalPolicies(g, info, status) == nvapi::OK)
            gpu_.SetThermalLimit(g, nvapi::kThermalPolicyAcoustic, static_cast<float>(last[kLastTempTarget]));
    };
    if (gpu_.usesPstates20(g)) {
        int32_t khz = 0;
        if (present[kLastGpuClockOffset] && Thousandfold(last[kLastGpuClockOffset], khz))
            gpu_.SetGraphicsClockOffset(g, khz);
        if (present[kLastMemClockOffset] && Thousandfold(last[kLastMemClockOffset], khz))
            gpu_.SetMemoryClockOffset(g, khz);
        writeTargets();
    }
    // 5. VF-point GPUs: the targets, every point's offset and the over-voltage percent.
    if (gpu_.usesVfPoints(g)) {
        writeTargets();
        if (hasGraphicsVf || hasMemoryVf)
            aw::WriteVfOffsets(gpu_, g, hasGraphicsVf ? std::optional(graphicsVf) : std::nullopt,
                               hasMemoryVf ? std::optional(memoryVf) : std::nullopt);
        if (hasPercent && percent >= 0 && percent <= 100) gpu_.SetOverVoltPercent(g, static_cast<uint8_t>(percent));
    }

    // 6. Lighting: kept; the lighting feature sends it to the card.
    kept.lighting = {LowByte(lighting[0]), LowByte(lighting[1]), LowByte(lighting[2]), LowByte(lighting[3]),
                     LowByte(lighting[4]), LowByte(lighting[5]), LowByte(lighting[6]), hasLighting};

    // 7. The LCD module's state.
    LcmValues& lcm = kept.lcm;
    for (std::size_t k = 0; k < lcm.screens.size(); ++k)
        if (std::optional<std::u16string> text = ini.GetString(section, kScreenKeys[k]))
            lcm.screens[k] = text->substr(0, LcmValues::kMaxScreenChars);
    int32_t value = 10;
    read("LCM_OnOff", value);
    lcm.onOff = LowByte(value);
    value = 162;
    read("LCM_Cmd", value);
    lcm.command = LowByte(value);
    value = 0;
    read("LCM_FontAndScreen", value);
    lcm.fontAndScreen = LowByte(value);
    for (std::size_t k = 0; k < lcm.screenValues.size(); ++k) {
        value = 0;
        read(kScreenValueKeys[k], value);
        lcm.screenValues[k] = LowByte(value);
    }

    fanCurves[g] = ReadFanCurve(ini, section);

    // 8. Fan: automatic, or a manual level the cooler can take.
    stored.fanWorkMode = last[kLastFanWorkMode];
    stored.fanSpeed = last[kLastFanSpeed];
    if (last[kLastFanWorkMode] == GpuAccess::kFanModeAutomatic) {
        gpu_.RestoreAutoFan(g);
    } else if (last[kLastFanWorkMode] == GpuAccess::kFanModeFixed) {
        int32_t maximum = 0, minimum = 0;
        const int32_t speed = last[kLastFanSpeed];
        if (gpu_.GetFanLevelRange(g, maximum, minimum) == nvapi::OK && speed >= minimum && speed <= maximum) {
            gpu_.SetFanLevel(g, speed);
            clock_.SleepMs(kFanSettleMs);
        }
    }

    // 9. Alarm temperature of the fan controller.
    if (read("AlarmTemperature", stored.alarmTemperature) && gpu_.IsCardDevicePresent(g, kFanControllerSlot) &&
        !gpu_.IsCardDevicePresent(g, kCodeVoltageSlot) && stored.alarmTemperature >= 0 &&
        stored.alarmTemperature <= 255)
        gpu_.SetAlarmTemperature(g, static_cast<uint8_t>(stored.alarmTemperature));
}

std::optional<int32_t> UserSettingsFile::DeviceVoltage(uint8_t g, int32_t level, int32_t value) {
    switch (VoltageKeyDeviceOf(gpu_, g)) {
    case VoltageKeyDevice::Slot2:
    case VoltageKeyDevice::Slot7: {
        // The nearest code takes back every truncated value the writer produced.
        const std::optional<uint8_t> code = gpu_.voltageCodes().VoltageToCode(value);
        int32_t low = 0, high = 0;
        if (!code || gpu_.GetVoltageCodeRangeA(g, low, high, level) != nvapi::OK || *code < low || *code > high)
            return std::nullopt;
        return *code;
    }
    case VoltageKeyDevice::Slot3:
        if (value >= 0 && value <= 255) return value;
        break;
    case VoltageKeyDevice::Pstates20:
        if (value > 0) return value;
        break;
    case VoltageKeyDevice::None: break;
    }
    return std::nullopt;
}

void UserSettingsFile::ApplyLevelVoltage(uint8_t g, int32_t level, int32_t value) {
    const std::optional<int32_t> device = DeviceVoltage(g, level, value);
    if (!device) return;
    switch (VoltageKeyDeviceOf(gpu_, g)) {
    case VoltageKeyDevice::Slot2:
        if (const uint8_t reg = LegacyVoltageRegister(gpu_, g, level); reg != 0)
            gpu_.SetVoltageSlot2(g, reg, static_cast<uint8_t>(*device));
        break;
    case VoltageKeyDevice::Slot3: gpu_.SetVoltageCodeA(g, *device); break;
    case VoltageKeyDevice::Slot7: gpu_.SetVoltageSlot7(g, static_cast<uint8_t>(*device)); break;
    case VoltageKeyDevice::Pstates20: {
        if (gpu_.usesVfPoints(g) || level != kWorkMode3DPerf) break;
        auto info = std::make_unique<nvapi::PstatesInfo>();  // 9 KB: off the stack
        std::memset(info.get(), 0, sizeof *info);
        info->version = nvapi::kPstatesInfoVer;
        if (gpu_.GetPstatesInfo(g, *info) != nvapi::OK) break;
        keptPstatesInfo_ = std::make_unique<nvapi::PstatesInfo>(*info);
        if (uint32_t* millivolts = aw::Pstate0CoreMillivolts(*info)) {
            *millivolts = static_cast<uint32_t>(*device);
            gpu_.SetPstatesInfo(g, *info);
        }
        break;
    }
    case VoltageKeyDevice::None: break;
    }
}

std::optional<int32_t> UserSettingsFile::LastLoadedVoltagePosition(uint8_t g) {
    if (lastVoltageGpu_ < 0 || g >= kSettingsGpuSlots) return std::nullopt;
    auto lock = Lock();
    const VoltageKeyDevice device = VoltageKeyDeviceOf(gpu_, g);
    // Another board's voltage would be read in units this one's slider does not count.
    if (VoltageKeyDeviceOf(gpu_, static_cast<uint8_t>(lastVoltageGpu_)) != device) return std::nullopt;
    const std::optional<int32_t> value = DeviceVoltage(g, kWorkMode3DPerf, lastLoaded_[kLastOverVoltage]);
    // The slot-2 slider shows the code's millivolts.
    if (value && device == VoltageKeyDevice::Slot2) return aw::CodeToWholeMillivolts(gpu_, *value);
    return value;
}

}  // namespace vx::tuning
