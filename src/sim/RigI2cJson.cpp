// The I2C devices of a rig file's GPU: {kind, port, address, registers, readOnly, ...}.
#include "sim/RigI2cJson.h"
#include "sim/RigJsonSupport.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <utility>

namespace vx::sim {
namespace {

using nlohmann::json;
using rigjson::Element;
using rigjson::FieldError;
using rigjson::Found;
using rigjson::Member;
using rigjson::ParseNumberText;
using rigjson::RequireObject;

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

// A number, or a hex string like "0x5C".
uint64_t Number(const json& value, const std::string& path, uint64_t max) {
    return rigjson::HexOrNumber(value, path, max, "0x5C");
}

std::map<uint8_t, uint8_t> ReadRegisters(const json& node, const std::string& path) {
    if (!node.is_object())
        throw FieldError{path, "expected an object of register values like {\"0x14\": 60}, " + Found(node)};
    std::map<uint8_t, uint8_t> registers;
    for (const auto& item : node.items()) {
        std::string itemPath = Member(path, item.key());
        std::optional<uint64_t> reg = ParseNumberText(item.key(), true);
        if (!reg || *reg > 0xFF)
            throw FieldError{itemPath, "expected a register from 0 to 255 (\"20\" or \"0x14\") as the name"};
        if (!registers.emplace(static_cast<uint8_t>(*reg), static_cast<uint8_t>(Number(item.value(), itemPath, 0xFF)))
                 .second)
            throw FieldError{itemPath, "expected each register once, found " + Hex(unsigned(*reg)) + " again"};
    }
    return registers;
}

std::set<uint8_t> ReadRegisterList(const json& node, const std::string& path) {
    if (!node.is_array()) throw FieldError{path, "expected an array of registers, " + Found(node)};
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
        throw FieldError{Member(path, "kind"), "required field missing (expected one of: " + KindList() + ")"};
    std::optional<I2cDeviceKind> parsed =
        kind->is_string() ? I2cDeviceKindFromName(kind->get<std::string>()) : std::nullopt;
    if (!parsed) throw FieldError{Member(path, "kind"), "expected one of: " + KindList() + ", " + Found(*kind)};
    config.kind = *parsed;

    auto port = node.find("port");
    if (port == node.end())
        throw FieldError{Member(path, "port"), "required field missing (expected the port byte, 0 to 255)"};
    config.port = static_cast<uint8_t>(Number(*port, Member(path, "port"), 0xFF));

    auto address = node.find("address");
    std::string addressPath = Member(path, "address");
    if (address == node.end())
        throw FieldError{addressPath, "required field missing (expected an 8-bit address such as \"0x5C\")"};
    uint64_t a = Number(*address, addressPath, 0xFF);
    // The 8-bit form is the 7-bit address shifted up: its low bit is never set.
    if (a == 0 || (a & 1))
        throw FieldError{addressPath, "expected an even 8-bit address from 0x02 to 0xFE, found " + Hex(unsigned(a))};
    config.address = static_cast<uint8_t>(a);

    if (auto registers = node.find("registers"); registers != node.end())
        config.registers = ReadRegisters(*registers, Member(path, "registers"));
    if (auto readOnly = node.find("readOnly"); readOnly != node.end())
        config.readOnly = ReadRegisterList(*readOnly, Member(path, "readOnly"));
    if (auto maxRpm = node.find("maxRpm"); maxRpm != node.end()) {
        if (config.kind != I2cDeviceKind::FanMicrocontroller)
            throw FieldError{Member(path, "maxRpm"), "only a fanMicrocontroller has maxRpm"};
        config.maxRpm = static_cast<uint16_t>(Number(*maxRpm, Member(path, "maxRpm"), 0xFFFF));
    }
    if (auto sensorB = node.find("sensorB"); sensorB != node.end()) {
        if (config.kind != I2cDeviceKind::RpmFanController)
            throw FieldError{Member(path, "sensorB"), "only an rpmFanController has sensorB"};
        config.sensorB = static_cast<uint16_t>(Number(*sensorB, Member(path, "sensorB"), 0xFFFF));
    }
    return config;
}

}  // namespace

std::vector<I2cDeviceConfig> ReadI2cDevices(const json& node, const std::string& path) {
    if (!node.is_array()) throw FieldError{path, "expected an array of I2C devices, " + Found(node)};
    if (node.size() > kMaxI2cDevicesPerGpu)
        throw FieldError{path, "expected at most " + std::to_string(kMaxI2cDevicesPerGpu) + " devices, found " +
                                      std::to_string(node.size())};
    std::vector<I2cDeviceConfig> devices;
    std::set<std::pair<uint8_t, uint8_t>> places;
    for (std::size_t i = 0; i < node.size(); ++i) {
        std::string devicePath = Element(path, i);
        I2cDeviceConfig config = ReadDevice(node[i], devicePath);
        // One device answers at one place; a second would never be reached.
        if (!places.insert({config.port, config.address}).second)
            throw FieldError{Member(devicePath, "address"),
                                "expected a port and address no other device of this GPU uses, found port " +
                                    std::to_string(config.port) + ", address " + Hex(config.address) + " again"};
        devices.push_back(std::move(config));
    }
    return devices;
}

}  // namespace vx::sim
