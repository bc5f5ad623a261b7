#pragma once
// The four documents the phone exchanges: "InitInfo.xml", "CurrInfo.xml" and "PCInfo.xml" are
// kept current from the program's state, "Info.xml" arrives from the phone. Writers edit the
// installed templates in place and do nothing when the file is missing or unreadable; a
// missing element is skipped.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "gpu/LegacyClockRange.h"

namespace vx::remote {

namespace document {
inline constexpr const char* kInitInfo = "InitInfo.xml";
inline constexpr const char* kCurrInfo = "CurrInfo.xml";
inline constexpr const char* kPcInfo = "PCInfo.xml";
inline constexpr const char* kInfo = "Info.xml";
}  // namespace document

/// Level kinds as the phone numbers them: 1 "2D", 2 "3D PERF", 3 "3D Low"; any other is 0.
uint32_t ModeIndex(int32_t level);

/// One sample of the first GPU for "CurrInfo.xml".
struct CurrentSample {
    uint8_t gpuIndex = 0;
    LegacyClockRange clocks;  // the current entry of each domain is written
    int32_t level = 0;
    int32_t fanSpeed = 0;
    int32_t temperature = 0;
    bool clockLink = false;
    bool fanAuto = false;
    std::string time;
    std::string description;
};

void WriteCurrInfo(const std::filesystem::path& file, const CurrentSample& sample);

void WritePcTemperature(const std::filesystem::path& file, int32_t temperature);
void WritePcFanSpeed(const std::filesystem::path& file, int32_t fanSpeed);
void WritePcState(const std::filesystem::path& file, bool clockLink, bool fanAuto, const std::string& time);
void WritePcClocks(const std::filesystem::path& file, const LegacyClockRange& clocks, uint8_t gpuIndex, int32_t level);

/// Empties every text of "InitInfo.xml", keeping its elements.
void ClearInitInfo(const std::filesystem::path& file);
/// The twelve clocks of `level` (1 "2D", 2 "3D", 3 "3DLow"); other levels change nothing.
void WriteInitClocks(const std::filesystem::path& file, const LegacyClockRange& clocks, int32_t level);
void WriteInitTemperature(const std::filesystem::path& file, int32_t temperature);
void WriteInitFanSpeed(const std::filesystem::path& file, int32_t fanSpeed);
void WriteInitFanRange(const std::filesystem::path& file, int32_t minimum, int32_t maximum);
void WriteInitState(const std::filesystem::path& file, int32_t level, bool clockLink, bool fanAuto);
void WriteInitIdentity(const std::filesystem::path& file, const std::string& name, const std::string& id,
                       const std::string& driverVersion, const std::string& biosVersion);

/// "Info.xml" as the phone sent it, each field truncated to its width.
struct RemoteSettings {
    uint8_t gpuIndex = 0;
    uint8_t modeIndex = 0;
    uint16_t gpuClock = 0;
    uint16_t shaderClock = 0;
    uint16_t memoryClock = 0;
    uint16_t fanSpeed = 0;
    uint32_t clockLink = 0;
    uint32_t fanAuto = 0;
};

/// Nothing when the file is missing, too large or not XML; a missing element reads as 0.
std::optional<RemoteSettings> ReadRemoteSettings(const std::filesystem::path& file);
/// Optional blanks, sign and leading digits, 0 when there are none; saturates beyond 64 bits
/// and is then cut to the field's width by the caller.
int64_t PlainDecimal(std::string_view text);

}  // namespace vx::remote
