// Rig files: JSON in, a validated Rig out. Every complaint names the file and the field.
#include "sim/Rig.h"
#include "sim/RigClockJson.h"  // Clocks
#include "sim/RigCoolerJson.h"  // Cooler control
#include "sim/RigDisplayJson.h"  // Display tools
#include "sim/RigI2cJson.h"
#include "sim/RigJsonSupport.h"
#include "sim/RigPowerJson.h"  // Power
#include "sim/RigTelemetryJson.h"
#include "sim/RigVfJson.h"  // VF points

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <set>
#include <string>
#include <string_view>
#include <system_error>

namespace vx::sim {
namespace {

using nlohmann::json;
using rigjson::Bool;
using rigjson::Element;
using rigjson::FieldError;
using rigjson::Found;
using rigjson::Member;
using rigjson::NamedCode;
using rigjson::RequireObject;

constexpr int64_t kMaxWord = 0xFFFFFFFF;

// Memory type codes as the driver reports them.
constexpr NamedCode kRamTypes[] = {
    {"UNKNOWN", 0}, {"SDRAM", 1}, {"DDR1", 2}, {"DDR2", 3}, {"GDDR2", 4},
    {"GDDR3", 5},   {"GDDR4", 6}, {"DDR3", 7}, {"GDDR5", 8}, {"LPDDR2", 9},
};

constexpr NamedCode kDomains[] = {
    {"graphics", nvapi::kClockDomainGraphics},
    {"memory", nvapi::kClockDomainMemory},
    {"processor", nvapi::kClockDomainProcessor},
};

// Cuts to what a driver string buffer holds, without splitting a UTF-8 sequence.
std::string CutToDriverString(std::string text) {
    if (text.size() <= kMaxDriverString) return text;
    std::size_t end = kMaxDriverString;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return text;
}

// A byte string written as hexadecimal digits, two per byte; empty when absent.
std::vector<uint8_t> HexBytes(const json& node, const std::string& path, std::string_view key) {
    const std::string text = rigjson::String(node, path, key, "");
    std::optional<std::vector<uint8_t>> bytes = DecodeHex(text);
    if (!bytes || bytes->size() > kMaxBiosImageBytes)
        throw FieldError{Member(path, key), "expected pairs of hexadecimal digits, at most " +
                                                std::to_string(kMaxBiosImageBytes) + " bytes"};
    return std::move(*bytes);
}

class RigReader {
public:
    Rig ReadRig(const json& root) {
        RequireObject(root, "", {"name", "driverVersion", "buildBranch", "interfaceVersion",
                                 "dedicatedVideoMemoryKb", "persist", "gpus", "drsBaseProfile"});
        Rig rig;
        rig.name = String(root, "", "name", false, rig.name);
        rig.driverVersion = Unsigned32(root, "", "driverVersion", rig.driverVersion);
        rig.buildBranch = String(root, "", "buildBranch", true, rig.buildBranch);
        rig.interfaceVersion = String(root, "", "interfaceVersion", true, rig.interfaceVersion);
        rig.dedicatedVideoMemoryKb =
            Unsigned32(root, "", "dedicatedVideoMemoryKb", rig.dedicatedVideoMemoryKb);
        rig.persist = Bool(root, "", "persist", rig.persist);
        // Power: the driver settings base profile
        if (auto drs = root.find("drsBaseProfile"); drs != root.end())
            rig.drsBaseProfile = ReadDrsBaseProfile(*drs, "drsBaseProfile");

        auto gpus = root.find("gpus");
        if (gpus == root.end()) throw FieldError{"gpus", "required field missing (expected an array of GPUs)"};
        if (!gpus->is_array()) throw FieldError{"gpus", "expected an array of GPUs, " + Found(*gpus)};
        if (gpus->size() > kMaxRigGpus)
            throw FieldError{"gpus", "expected at most " + std::to_string(kMaxRigGpus) + " GPUs, found " +
                                         std::to_string(gpus->size())};
        for (std::size_t i = 0; i < gpus->size(); ++i) rig.gpus.push_back(ReadGpu((*gpus)[i], Element("gpus", i)));
        return rig;
    }

private:
    GpuModel ReadGpu(const json& node, const std::string& path) {
        RequireObject(node, path, {"pciDeviceId", "pciVendorId", "subsystemId", "revisionId", "computeMode",
                                   "name", "biosVersion", "biosImage", "ramType", "memoryBusWidth", "legacyLevels",
                                   "currentLegacyLevel", "telemetry", "i2cDevices", "vf", "cooler", "power",
                                   "clocks", "displays"});
        GpuModel gpu;
        if (!node.contains("pciDeviceId"))
            throw FieldError{Member(path, "pciDeviceId"), "required field missing (expected a PCI device ID)"};
        gpu.pciDeviceId = static_cast<uint16_t>(Id(node, path, "pciDeviceId", 0xFFFF, gpu.pciDeviceId));
        gpu.pciVendorId = static_cast<uint16_t>(Id(node, path, "pciVendorId", 0xFFFF, gpu.pciVendorId));
        gpu.subsystemId = static_cast<uint32_t>(Id(node, path, "subsystemId", 0xFFFFFFFF, gpu.subsystemId));
        gpu.revisionId = static_cast<uint32_t>(Id(node, path, "revisionId", 0xFFFFFFFF, gpu.revisionId));
        gpu.computeMode = Bool(node, path, "computeMode", gpu.computeMode);
        gpu.name = String(node, path, "name", true, gpu.name);
        gpu.biosVersion = String(node, path, "biosVersion", true, gpu.biosVersion);
        gpu.biosImage = HexBytes(node, path, "biosImage");
        gpu.ramType = Named(node, path, "ramType", kRamTypes, gpu.ramType);
        gpu.memoryBusWidth = Unsigned32(node, path, "memoryBusWidth", gpu.memoryBusWidth);

        if (auto levels = node.find("legacyLevels"); levels != node.end()) {
            std::string levelsPath = Member(path, "legacyLevels");
            if (!levels->is_array()) throw FieldError{levelsPath, "expected an array of levels, " + Found(*levels)};
            if (levels->size() > kMaxLegacyLevels)
                throw FieldError{levelsPath, "expected at most " + std::to_string(kMaxLegacyLevels) +
                                                 " levels, found " + std::to_string(levels->size())};
            std::set<uint32_t> ids;
            for (std::size_t i = 0; i < levels->size(); ++i) {
                std::string levelPath = Element(levelsPath, i);
                LegacyLevel level = ReadLevel((*levels)[i], levelPath);
                // Writes pick a level by its ID, so two levels must not share one.
                if (!ids.insert(level.levelId).second)
                    throw FieldError{Member(levelPath, "levelId"), "expected a level ID no other level uses, found " +
                                                                       std::to_string(level.levelId) + " again"};
                gpu.legacyLevels.push_back(std::move(level));
            }
        }
        gpu.currentLegacyLevel = Unsigned32(node, path, "currentLegacyLevel", 0);
        std::size_t levelCount = gpu.legacyLevels.size();
        if (gpu.currentLegacyLevel != 0 && gpu.currentLegacyLevel >= levelCount)
            throw FieldError{Member(path, "currentLegacyLevel"),
                             "expected a level index below " + std::to_string(levelCount) + ", found " +
                                 std::to_string(gpu.currentLegacyLevel)};
        // Telemetry
        if (auto telemetry = node.find("telemetry"); telemetry != node.end())
            gpu.telemetry = ReadTelemetryConfig(*telemetry, Member(path, "telemetry"));
        // I2C
        if (auto devices = node.find("i2cDevices"); devices != node.end())
            gpu.i2cDevices = ReadI2cDevices(*devices, Member(path, "i2cDevices"));
        // Clocks
        if (auto clocks = node.find("clocks"); clocks != node.end())
            gpu.clocks = ReadClockConfig(*clocks, Member(path, "clocks"));
        // Power
        if (auto power = node.find("power"); power != node.end())
            gpu.power = ReadPowerConfig(*power, Member(path, "power"));
        // VF points
        if (auto vf = node.find("vf"); vf != node.end())
            gpu.vf = ReadVfConfig(*vf, Member(path, "vf"));
        // End of VF points
        // Cooler control
        if (auto cooler = node.find("cooler"); cooler != node.end())
            gpu.cooler = ReadCoolerConfig(*cooler, Member(path, "cooler"));
        // End of cooler control
        gpu.displays = ReadDisplays(node, path);  // Display tools
        return gpu;
    }

    LegacyLevel ReadLevel(const json& node, const std::string& path) {
        RequireObject(node, path, {"levelId", "flags", "domains"});
        LegacyLevel level;
        level.levelId = Required32(node, path, "levelId");
        level.flags = Required32(node, path, "flags");
        auto domains = node.find("domains");
        std::string domainsPath = Member(path, "domains");
        if (domains == node.end()) throw FieldError{domainsPath, "required field missing (expected an array of domains)"};
        if (!domains->is_array()) throw FieldError{domainsPath, "expected an array of domains, " + Found(*domains)};
        if (domains->size() > kMaxLegacyDomains)
            throw FieldError{domainsPath, "expected at most " + std::to_string(kMaxLegacyDomains) +
                                              " domains, found " + std::to_string(domains->size())};
        std::set<uint32_t> ids;
        for (std::size_t i = 0; i < domains->size(); ++i) {
            std::string domainPath = Element(domainsPath, i);
            LegacyDomain domain = ReadDomain((*domains)[i], domainPath);
            if (!ids.insert(domain.domainId).second)
                throw FieldError{Member(domainPath, "domainId"), "expected a domain not listed before in this level"};
            level.domains.push_back(domain);
        }
        return level;
    }

    LegacyDomain ReadDomain(const json& node, const std::string& path) {
        RequireObject(node, path, {"domainId", "frequencyKhz", "fourthWord", "minKhz", "maxKhz"});
        LegacyDomain domain;
        if (!node.contains("domainId"))
            throw FieldError{Member(path, "domainId"), "required field missing (expected a clock domain)"};
        domain.domainId = Named(node, path, "domainId", kDomains, 0);
        if (domain.domainId >= kMaxLegacyDomains)
            throw FieldError{Member(path, "domainId"), "expected a domain ID below " +
                                                           std::to_string(kMaxLegacyDomains) + ", found " +
                                                           std::to_string(domain.domainId)};
        if (!node.contains("frequencyKhz"))
            throw FieldError{Member(path, "frequencyKhz"), "required field missing (expected a frequency in kHz)"};
        domain.frequencyKhz = Khz(node, path, "frequencyKhz", 0);
        domain.fourthWord = Khz(node, path, "fourthWord", domain.frequencyKhz);
        domain.minKhz = Khz(node, path, "minKhz", domain.frequencyKhz);
        domain.maxKhz = Khz(node, path, "maxKhz", domain.frequencyKhz);
        return domain;
    }

    static uint64_t Id(const json& node, const std::string& path, std::string_view key, uint64_t max,
                       uint64_t fallback) {
        auto it = node.find(std::string(key));
        return it == node.end() ? fallback : rigjson::HexOrNumber(*it, Member(path, key), max, "0x1B82");
    }

    static uint32_t Unsigned32(const json& node, const std::string& path, std::string_view key, uint32_t fallback) {
        return static_cast<uint32_t>(rigjson::Number(node, path, key, 0, kMaxWord, fallback));
    }

    static uint32_t Required32(const json& node, const std::string& path, std::string_view key) {
        if (!node.contains(std::string(key))) throw FieldError{Member(path, key), "required field missing"};
        return static_cast<uint32_t>(Id(node, path, key, kMaxWord, 0));
    }

    static int32_t Khz(const json& node, const std::string& path, std::string_view key, int32_t fallback) {
        return static_cast<int32_t>(rigjson::Number(node, path, key, 0, std::numeric_limits<int32_t>::max(), fallback));
    }

    template <std::size_t N>
    static uint32_t Named(const json& node, const std::string& path, std::string_view key,
                          const NamedCode (&names)[N], uint32_t fallback) {
        return rigjson::Named(node, path, key, names, kMaxWord, fallback);
    }

    static std::string String(const json& node, const std::string& path, std::string_view key, bool driverString,
                              const std::string& fallback) {
        std::string text = rigjson::String(node, path, key, fallback);
        return driverString ? CutToDriverString(std::move(text)) : text;
    }
};

RigLoadResult Failure(std::string message) {
    RigLoadResult result;
    result.error = RigError{std::move(message)};
    return result;
}

}  // namespace

std::optional<std::vector<uint8_t>> DecodeHex(std::string_view hex) {
    const auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    if (hex.size() % 2 != 0) return std::nullopt;
    std::vector<uint8_t> bytes;
    bytes.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = digit(hex[i]);
        const int low = digit(hex[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    return bytes;
}

RigLoadResult ParseRigJson(const std::string& text, const std::string& sourceName) {
    try {
        json root = json::parse(text);
        RigLoadResult result;
        result.rig = RigReader().ReadRig(root);
        return result;
    } catch (const FieldError& e) {
        return Failure(sourceName + ": " + e.path + ": " + e.problem);
    } catch (const json::parse_error& e) {
        return Failure(sourceName + ": not valid JSON (byte " + std::to_string(e.byte) + "): " + e.what());
    } catch (const std::exception& e) {
        return Failure(sourceName + ": cannot be read as a rig: " + e.what());
    } catch (...) {
        return Failure(sourceName + ": cannot be read as a rig");
    }
}

RigLoadResult LoadRigFile(const std::filesystem::path& path) {
    const std::string name = path.string();
    try {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec))
            return Failure(name + ": cannot read the rig file (" + (ec ? ec.message() : "not a regular file") + ")");
        std::uintmax_t size = std::filesystem::file_size(path, ec);
        if (ec) return Failure(name + ": cannot read the rig file (" + ec.message() + ")");
        if (size > kMaxRigFileBytes)
            return Failure(name + ": file too large for a rig (" + std::to_string(size) + " bytes, at most " +
                           std::to_string(kMaxRigFileBytes) + ")");
        std::ifstream in(path, std::ios::binary);
        if (!in) return Failure(name + ": cannot open the rig file");
        std::string text(static_cast<std::size_t>(size), '\0');
        in.read(text.data(), static_cast<std::streamsize>(size));
        text.resize(static_cast<std::size_t>(in.gcount()));
        if (in.bad()) return Failure(name + ": cannot read the rig file");

        RigLoadResult result = ParseRigJson(text, name);
        if (result.rig) {
            std::filesystem::path absolute = std::filesystem::absolute(path, ec);
            result.rig->sourceFile = ec ? path : absolute;
        }
        return result;
    } catch (const std::exception& e) {
        return Failure(name + ": cannot read the rig file (" + e.what() + ")");
    } catch (...) {
        return Failure(name + ": cannot read the rig file");
    }
}

}  // namespace vx::sim
