// The I2C devices of a rig file's GPU: {kind, port, address, registers, readOnly, ...}.
#include "sim/RigI2cJson.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <set>
#include <string_view>
#include <utility>

namespace vx::sim {
namespace {

using nlohmann::json;

std::string Member(const std::string& base, std::string_view key) { return base + "." + std::string(key); }

std::string Element(const std::string& base, std::size_t index) {
    return base + "[" + std::to_string(index) + "]";
}

std::string Found(const json& value) {
    if (value.is_number()) return "found " + value.dump();
    if (value.is_string()) return "found \"" + value.get<std::string>() + "\"";
    return std::string("found ") + value.type_name();
}

std::string Hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

std::string KindList() {
    std::string list;
    for (const I2cDeviceKindName& entry : kI2cDeviceKindNames) {
        if (!list.empty()) list += ", ";
        list += entry.name;
    }
    return list;
}

// "0x1F", "0X1f" or decimal digits.
std::optional<uint64_t> ParseNumberText(const std::string& text) {
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    std::size_t start = hex ? 2 : 0;
    if (text.size() <= start || text.size() - start > 16) return std::nullopt;
    uint64_t value = 0;
    for (std::size_t i = start; i < text.size(); ++i) {
        char c = text[i];
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else return std::nullopt;
        value = value * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
    }
    return value;
}

// A number, or a hex string like "0x5C".
uint64_t Number(const json& value, const std::string& path, uint64_t max) {
    std::string expected = "expected a number from 0 to " + std::to_string(max) + " or a hex string like \"0x5C\"";
    if (value.is_number_unsigned()) {
        uint64_t v = value.get<uint64_t>();
        if (v > max) throw I2cFieldError{path, expected + ", found " + std::to_string(v)};
        return v;
    }
    if (value.is_string()) {
        const std::string& text = value.get_ref<const std::string&>();
        std::optional<uint64_t> v;
        if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) v = ParseNumberText(text);
        if (!v || *v > max) throw I2cFieldError{path, expected + ", " + Found(value)};
        return *v;
    }
    throw I2cFieldError{path, expected + ", " + Found(value)};
}

void RequireObject(const json& node, const std::string& path, std::initializer_list<std::string_view> known) {
    if (!node.is_object()) throw I2cFieldError{path, "expected an object, " + Found(node)};
    for (const auto& item : node.items()) {
        if (std::find(known.begin(), known.end(), item.key()) != known.end()) continue;
        std::string names;
        for (std::string_view n : known) names += (names.empty() ? "" : ", ") + std::string(n);
        throw I2cFieldError{Member(path, item.key()), "unknown field (expected one of: " + names + ")"};
    }
}

std::map<uint8_t, uint8_t> ReadRegisters(const json& node, const std::string& path) {
    if (!node.is_object())
        throw I2cFieldError{path, "expected an object of register values like {\"0x14\": 60}, " + Found(node)};
    std::map<uint8_t, uint8_t> registers;
    for (const auto& item : node.items()) {
        std::string itemPath = Member(path, item.key());
        std::optional<uint64_t> reg = ParseNumberText(item.key());
        if (!reg || *reg > 0xFF)
            throw I2cFieldError{itemPath, "expected a register from 0 to 255 (\"20\" or \"0x14\") as the name"};
        if (!registers.emplace(static_cast<uint8_t>(*reg), static_cast<uint8_t>(Number(item.value(), itemPath, 0xFF)))
                 .second)
            throw I2cFieldError{itemPath, "expected each register once, found " + Hex(unsigned(*reg)) + " again"};
    }
    return registers;
}

std::set<uint8_t> ReadRegisterList(const json& node, const std::string& path) {
    if (!node.is_array()) throw I2cFieldError{path, "expected an array of registers, " + Found(node)};
    std::set<uint8_t> registers;
    for (std::size_t i = 0; i < node.size(); ++i)
        registers.insert(static_cast<uint8_t>(Number(node[i], Element(path, i), 0xFF)));
    return registers;
}

I2cDeviceConfig ReadDevice(const json& node, const std::string& path) {
    RequireObject(node, path, {"kind", "port", "address", "registers", "readOnly", "maxRpm", "sensorB"});
    I2cDeviceConfig config;

    auto kind = node.find("kind");
    if (kind == node.end())
        throw I2cFieldError{Member(path, "kind"), "required field missing (expected one of: " + KindList() + ")"};
    std::optional<I2cDeviceKind> parsed =
        kind->is_string() ? I2cDeviceKindFromName(kind->get<std::string>()) : std::nullopt;
    if (!parsed) throw I2cFieldError{Member(path, "kind"), "expected one of: " + KindList() + ", " + Found(*kind)};
    config.kind = *parsed;

    auto port = node.find("port");
    if (port == node.end())
        throw I2cFieldError{Member(path, "port"), "required field missing (expected the port byte, 0 to 255)"};
    config.port = static_cast<uint8_t>(Number(*port, Member(path, "port"), 0xFF));

    auto address = node.find("address");
    std::string addressPath = Member(path, "address");
    if (address == node.end())
        throw I2cFieldError{addressPath, "required field missing (expected an 8-bit address such as \"0x5C\")"};
    uint64_t a = Number(*address, addressPath, 0xFF);
    // The 8-bit form is the 7-bit address shifted up: its low bit is never set.
    if (a == 0 || (a & 1))
        throw I2cFieldError{addressPath, "expected an even 8-bit address from 0x02 to 0xFE, found " + Hex(unsigned(a))};
    config.address = static_cast<uint8_t>(a);

    if (auto registers = node.find("registers"); registers != node.end())
        config.registers = ReadRegisters(*registers, Member(path, "registers"));
    if (auto readOnly = node.find("readOnly"); readOnly != node.end())
        config.readOnly = ReadRegisterList(*readOnly, Member(path, "readOnly"));
    if (auto maxRpm = node.find("maxRpm"); maxRpm != node.end()) {
        if (config.kind != I2cDeviceKind::FanMicrocontroller)
            throw I2cFieldError{Member(path, "maxRpm"), "only a fanMicrocontroller has maxRpm"};
        config.maxRpm = static_cast<uint16_t>(Number(*maxRpm, Member(path, "maxRpm"), 0xFFFF));
    }
    if (auto sensorB = node.find("sensorB"); sensorB != node.end()) {
        if (config.kind != I2cDeviceKind::RpmFanController)
            throw I2cFieldError{Member(path, "sensorB"), "only an rpmFanController has sensorB"};
        config.sensorB = static_cast<uint16_t>(Number(*sensorB, Member(path, "sensorB"), 0xFFFF));
    }
    return config;
}

}  // namespace

std::vector<I2cDeviceConfig> ReadI2cDevices(const json& node, const std::string& path) {
    if (!node.is_array()) throw I2cFieldError{path, "expected an array of I2C devices, " + Found(node)};
    if (node.size() > kMaxI2cDevicesPerGpu)
        throw I2cFieldError{path, "expected at most " + std::to_string(kMaxI2cDevicesPerGpu) + " devices, found " +
                                      std::to_string(node.size())};
    std::vector<I2cDeviceConfig> devices;
    std::set<std::pair<uint8_t, uint8_t>> places;
    for (std::size_t i = 0; i < node.size(); ++i) {
        std::string devicePath = Element(path, i);
        I2cDeviceConfig config = ReadDevice(node[i], devicePath);
        // One device answers at one place; a second would never be reached.
        if (!places.insert({config.port, config.address}).second)
            throw I2cFieldError{Member(devicePath, "address"),
                                "expected a port and address no other device of this GPU uses, found port " +
                                    std::to_string(config.port) + ", address " + Hex(config.address) + " again"};
        devices.push_back(std::move(config));
    }
    return devices;
}

}  // namespace vx::sim
