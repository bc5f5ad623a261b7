#include "remote/RemoteDocuments.h"

#include <cstdio>
#include <initializer_list>
#include <limits>
#include <utility>

#include "remote/XmlDocument.h"

namespace vx::remote {
namespace {

using Edits = std::initializer_list<std::pair<std::string, std::string>>;

// Sets the text when the element exists and holds another; true when it changed.
bool Update(XmlDocument& xml, const std::string& path, const std::string& text) {
    const std::optional<std::string> old = xml.Text(path);
    return old && *old != text && xml.SetText(path, text);
}

// Loads, sets what it finds, saves when something changed (most samples repeat the last
// values, and every save goes to the disk); nothing at all when the file cannot be loaded.
void EditDocument(const std::filesystem::path& file, Edits edits) {
    XmlDocument xml;
    if (!xml.Load(file)) return;
    bool changed = false;
    for (const auto& [path, text] : edits) changed |= Update(xml, path, text);
    if (changed) xml.Save(file);
}

std::string Decimal(int64_t value) { return std::to_string(value); }
std::string Flag(bool on) { return on ? "1" : "0"; }
// kHz to MHz, truncated as an unsigned quotient.
std::string Mhz(int32_t khz) { return std::to_string(static_cast<uint32_t>(khz) / 1000u); }

const char* InitLevelName(int32_t level) {
    switch (level) {
    case 1: return "2D";
    case 2: return "3D";
    case 3: return "3DLow";
    default: return nullptr;
    }
}

}  // namespace

uint32_t ModeIndex(int32_t level) { return level >= 1 && level <= 3 ? static_cast<uint32_t>(level) : 0u; }

void WriteCurrInfo(const std::filesystem::path& file, const CurrentSample& s) {
    EditDocument(file, {{"/Info/GpuIdex", Decimal(s.gpuIndex)},
                        {"/Info/ModeIdex", Decimal(ModeIndex(s.level))},
                        {"/Info/GpuClock", Mhz(s.clocks.graphics.frequency)},
                        {"/Info/ShaderClock", Mhz(s.clocks.processor.frequency)},
                        {"/Info/MemoryClock", Mhz(s.clocks.memory.frequency)},
                        {"/Info/FanSpeed", Decimal(s.fanSpeed)},
                        {"/Info/Temp", Decimal(s.temperature)},
                        {"/Info/Blink", Flag(s.clockLink)},
                        {"/Info/BFanAuto", Flag(s.fanAuto)},
                        {"/Info/Time", s.time},
                        {"/Info/GpuDescribe", s.description.substr(0, 63)}});
}

void WritePcTemperature(const std::filesystem::path& file, int32_t temperature) {
    EditDocument(file, {{"/Info/Temp", Decimal(temperature)}});
}

void WritePcFanSpeed(const std::filesystem::path& file, int32_t fanSpeed) {
    EditDocument(file, {{"/Info/FanSpeed", Decimal(fanSpeed)}});
}

void WritePcState(const std::filesystem::path& file, bool clockLink, bool fanAuto, const std::string& time) {
    EditDocument(file, {{"/Info/Blink", Flag(clockLink)}, {"/Info/BFanAuto", Flag(fanAuto)}, {"/Info/Time", time}});
}

void WritePcClocks(const std::filesystem::path& file, const LegacyClockRange& clocks, uint8_t gpuIndex, int32_t level) {
    EditDocument(file, {{"/Info/GpuIdex", Decimal(gpuIndex)},
                        {"/Info/ModeIdex", Decimal(ModeIndex(level))},
                        {"/Info/GpuClock", Mhz(clocks.graphics.frequency)},
                        {"/Info/ShaderClock", Mhz(clocks.processor.frequency)},
                        {"/Info/MemoryClock", Mhz(clocks.memory.frequency)}});
}

void ClearInitInfo(const std::filesystem::path& file) {
    XmlDocument xml;
    if (!xml.Load(file)) return;
    xml.ClearTexts();
    xml.Save(file);
}

void WriteInitClocks(const std::filesystem::path& file, const LegacyClockRange& clocks, int32_t level) {
    const char* name = InitLevelName(level);
    if (!name) return;
    const std::string base = std::string("/ServerInfo/ComputerInfo/GpuInfo/");
    auto path = [&](char letter, const char* suffix) { return base + letter + name + suffix; };
    XmlDocument xml;
    if (!xml.Load(file)) return;
    bool changed = false;
    for (const auto& [letter, domain] : {std::pair{'G', &clocks.graphics}, std::pair{'S', &clocks.processor},
                                         std::pair{'M', &clocks.memory}}) {
        changed |= Update(xml, path(letter, "Curr"), Mhz(domain->frequency));
        changed |= Update(xml, path(letter, "Def"), Mhz(domain->fourthWord));
        changed |= Update(xml, path(letter, "Min"), Mhz(domain->minimum));
        changed |= Update(xml, path(letter, "Max"), Mhz(domain->maximum));
    }
    if (changed) xml.Save(file);
}

void WriteInitTemperature(const std::filesystem::path& file, int32_t temperature) {
    EditDocument(file, {{"/ServerInfo/ComputerInfo/GpuInfo/Temperature", Decimal(temperature)}});
}

void WriteInitFanSpeed(const std::filesystem::path& file, int32_t fanSpeed) {
    EditDocument(file, {{"/ServerInfo/ComputerInfo/GpuInfo/FanSpeed", Decimal(fanSpeed)}});
}

void WriteInitFanRange(const std::filesystem::path& file, int32_t minimum, int32_t maximum) {
    EditDocument(file, {{"/ServerInfo/ComputerInfo/GpuInfo/FansMin", Decimal(minimum)},
                        {"/ServerInfo/ComputerInfo/GpuInfo/FansMax", Decimal(maximum)}});
}

void WriteInitState(const std::filesystem::path& file, int32_t level, bool clockLink, bool fanAuto) {
    EditDocument(file, {{"/ServerInfo/ComputerInfo/GpuInfo/Mode", Decimal(level)},
                        {"/ServerInfo/ComputerInfo/GpuInfo/Blink", Flag(clockLink)},
                        {"/ServerInfo/ComputerInfo/GpuInfo/BFanAuto", Flag(fanAuto)}});
}

void WriteInitIdentity(const std::filesystem::path& file, const std::string& name, const std::string& id,
                       const std::string& driverVersion, const std::string& biosVersion) {
    EditDocument(file, {{"/ServerInfo/ComputerInfo/GpuInfo/GpuDescribe", name},
                        {"/ServerInfo/ComputerInfo/GpuInfo/GpuID", id},
                        {"/ServerInfo/ComputerInfo/GpuInfo/DriverVer", driverVersion},
                        {"/ServerInfo/ComputerInfo/GpuInfo/BiosVer", biosVersion}});
}

int64_t PlainDecimal(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r'))) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
    constexpr uint64_t kLimit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    const uint64_t cap = kLimit + (negative ? 1 : 0);
    uint64_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        const auto digit = static_cast<uint64_t>(text[at] - '0');
        value = value > (cap - digit) / 10 ? cap : value * 10 + digit;
    }
    if (negative) return value > kLimit ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(value);
    return static_cast<int64_t>(value);
}

std::optional<RemoteSettings> ReadRemoteSettings(const std::filesystem::path& file) {
    XmlDocument xml;
    if (!xml.Load(file)) return std::nullopt;
    auto field = [&xml](const char* path) { return PlainDecimal(xml.Text(path).value_or("")); };
    RemoteSettings s;
    s.gpuIndex = static_cast<uint8_t>(field("/Info/GpuIdex"));
    s.modeIndex = static_cast<uint8_t>(field("/Info/ModeIdex"));
    s.gpuClock = static_cast<uint16_t>(field("/Info/GpuClock"));
    s.shaderClock = static_cast<uint16_t>(field("/Info/ShaderClock"));
    s.memoryClock = static_cast<uint16_t>(field("/Info/MemoryClock"));
    s.fanSpeed = static_cast<uint16_t>(field("/Info/FanSpeed"));
    s.clockLink = static_cast<uint32_t>(field("/Info/Blink"));
    s.fanAuto = static_cast<uint32_t>(field("/Info/BFanAuto"));
    return s;
}

}  // namespace vx::remote
