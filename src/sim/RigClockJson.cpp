// A GPU's `clocks` object. Frequencies and deltas are in kHz, voltages in µV, as the driver
// reports them. Everything a write looks an entry up by (P-state ID, clock domain, voltage
// domain, lock limit) must be unique, or a write could not tell the entries apart.
#include "sim/RigClockJson.h"
#include "sim/RigJsonSupport.h"

#include "gpu/ClockStructs.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <set>
#include <string_view>

namespace vx::sim {
namespace {

using nlohmann::json;
using rigjson::FieldError;
using rigjson::Member;
using rigjson::NamedCode;

constexpr int64_t kMinDelta = std::numeric_limits<int32_t>::min();
constexpr int64_t kMaxDelta = std::numeric_limits<int32_t>::max();
constexpr int64_t kMaxWord = std::numeric_limits<uint32_t>::max();
// P0 to P15.
constexpr int64_t kMaxPstateId = 15;
// The words after the version word of the P-state information block.
constexpr std::size_t kMaxPstatesInfoWords = sizeof(nvapi::PstatesInfo) / 4 - 1;

constexpr NamedCode kClockDomains[] = {{"graphics", nvapi::kClockDomainGraphics},
                                       {"memory", nvapi::kClockDomainMemory},
                                       {"processor", nvapi::kClockDomainProcessor}};
constexpr NamedCode kClockTypes[] = {{"single", nvapi::kClockTypeSingle}, {"range", nvapi::kClockTypeRange}};
constexpr NamedCode kVoltageDomains[] = {{"core", nvapi::kVoltageDomainCore}};
constexpr NamedCode kLockLimits[] = {{"graphicsMax", nvapi::kLockGraphicsMax},
                                     {"graphicsMin", nvapi::kLockGraphicsMin},
                                     {"memoryMax", nvapi::kLockMemoryMax},
                                     {"memoryMin", nvapi::kLockMemoryMin},
                                     {"voltage", nvapi::kLockVoltage}};
constexpr NamedCode kLockModes[] = {
    {"disabled", nvapi::kLockDisabled}, {"frequency", nvapi::kLockFrequency}, {"voltage", nvapi::kLockVoltageMode}};

uint32_t Word(const json& node, const std::string& path, std::string_view key, uint32_t fallback) {
    return static_cast<uint32_t>(rigjson::Number(node, path, key, 0, kMaxWord, fallback));
}

// A delta and its range: minimum <= delta <= maximum.
void ReadDelta(const json& node, const std::string& path, std::string_view unit, int32_t& delta, int32_t& minimum,
               int32_t& maximum) {
    const std::string value = "delta" + std::string(unit);
    const std::string low = "deltaMin" + std::string(unit);
    const std::string high = "deltaMax" + std::string(unit);
    minimum = static_cast<int32_t>(rigjson::Number(node, path, low, kMinDelta, kMaxDelta, 0));
    maximum = static_cast<int32_t>(rigjson::Number(node, path, high, kMinDelta, kMaxDelta, 0));
    if (minimum > maximum) throw FieldError{Member(path, low), "expected at most " + high};
    // Left out: 0, or the end of the range nearest to it.
    delta = static_cast<int32_t>(
        rigjson::Number(node, path, value, minimum, maximum, std::max(minimum, std::min(0, maximum))));
}

Pstate20ClockConfig ReadClock(const json& node, const std::string& path) {
    rigjson::RequireObject(node, path,
                           {"domainId", "type", "editable", "deltaKhz", "deltaMinKhz", "deltaMaxKhz", "freqKhz",
                            "maxFreqKhz", "voltageDomainId", "minVoltageUv", "maxVoltageUv"});
    Pstate20ClockConfig clock;
    if (!node.contains("domainId")) throw FieldError{Member(path, "domainId"), "required field missing"};
    clock.domainId = rigjson::Named(node, path, "domainId", kClockDomains, 31, 0);
    if (!node.contains("type")) throw FieldError{Member(path, "type"), "required field missing"};
    clock.typeId = rigjson::Named(node, path, "type", kClockTypes, 1, 0);
    clock.editable = rigjson::Bool(node, path, "editable", clock.editable);
    ReadDelta(node, path, "Khz", clock.deltaKhz, clock.deltaMinKhz, clock.deltaMaxKhz);
    clock.freqKhz = Word(node, path, "freqKhz", 0);
    if (clock.typeId != nvapi::kClockTypeRange) {
        // A single frequency has no range part; a range field here is a mistake.
        for (std::string_view key : {"maxFreqKhz", "voltageDomainId", "minVoltageUv", "maxVoltageUv"})
            if (node.contains(std::string(key))) throw FieldError{Member(path, key), "only a range clock has it"};
        return clock;
    }
    clock.maxFreqKhz =
        static_cast<uint32_t>(rigjson::Number(node, path, "maxFreqKhz", clock.freqKhz, kMaxWord, clock.freqKhz));
    clock.voltageDomainId = rigjson::Named(node, path, "voltageDomainId", kVoltageDomains, kMaxWord, 0);
    clock.minVoltageUv = Word(node, path, "minVoltageUv", 0);
    clock.maxVoltageUv = static_cast<uint32_t>(
        rigjson::Number(node, path, "maxVoltageUv", clock.minVoltageUv, kMaxWord, clock.minVoltageUv));
    return clock;
}

Pstate20VoltageConfig ReadVoltage(const json& node, const std::string& path) {
    rigjson::RequireObject(node, path, {"domainId", "editable", "voltUv", "deltaUv", "deltaMinUv", "deltaMaxUv"});
    Pstate20VoltageConfig voltage;
    voltage.domainId = rigjson::Named(node, path, "domainId", kVoltageDomains, kMaxWord, voltage.domainId);
    voltage.editable = rigjson::Bool(node, path, "editable", voltage.editable);
    voltage.voltUv = Word(node, path, "voltUv", 0);
    ReadDelta(node, path, "Uv", voltage.deltaUv, voltage.deltaMinUv, voltage.deltaMaxUv);
    return voltage;
}

// Refuses a second entry with the same key: `key(item)` for each, `field` names it.
template <typename T, typename Key>
void RequireUnique(const std::vector<T>& items, const std::string& path, std::string_view listKey,
                   std::string_view field, Key key) {
    std::set<uint32_t> seen;
    for (std::size_t i = 0; i < items.size(); ++i)
        if (!seen.insert(key(items[i])).second)
            throw FieldError{Member(rigjson::Element(Member(path, listKey), i), field),
                             "expected a value no other entry uses, found " + std::to_string(key(items[i])) + " again"};
}

std::vector<Pstate20VoltageConfig> ReadVoltages(const json& node, const std::string& path, std::string_view key,
                                                std::size_t maximum) {
    auto voltages = rigjson::List(node, path, key, maximum, "voltages", ReadVoltage);
    RequireUnique(voltages, path, key, "domainId", [](const Pstate20VoltageConfig& v) { return v.domainId; });
    return voltages;
}

Pstate20Config ReadPstate(const json& node, const std::string& path) {
    rigjson::RequireObject(node, path, {"pstateId", "editable", "clocks", "baseVoltages"});
    Pstate20Config pstate;
    pstate.pstateId = static_cast<uint32_t>(rigjson::RequiredNumber(node, path, "pstateId", 0, kMaxPstateId));
    pstate.editable = rigjson::Bool(node, path, "editable", pstate.editable);
    pstate.clocks = rigjson::List(node, path, "clocks", nvapi::kPstates20MaxClocks, "clocks", ReadClock);
    RequireUnique(pstate.clocks, path, "clocks", "domainId", [](const Pstate20ClockConfig& c) { return c.domainId; });
    pstate.baseVoltages = ReadVoltages(node, path, "baseVoltages", nvapi::kPstates20MaxBaseVoltages);
    return pstate;
}

ClockLockConfig ReadLock(const json& node, const std::string& path) {
    rigjson::RequireObject(node, path, {"limitId", "mode", "value"});
    ClockLockConfig lock;
    if (!node.contains("limitId")) throw FieldError{Member(path, "limitId"), "required field missing"};
    lock.limitId = rigjson::Named(node, path, "limitId", kLockLimits, kMaxWord, 0);
    lock.mode = rigjson::Named(node, path, "mode", kLockModes, nvapi::kLockVoltageMode, lock.mode);
    if (lock.mode != nvapi::kLockDisabled && lock.mode != nvapi::kLockFrequency && lock.mode != nvapi::kLockVoltageMode)
        throw FieldError{Member(path, "mode"), "expected 0, 2 or 3, or one of: disabled, frequency, voltage, found " +
                                                   std::to_string(lock.mode)};
    lock.value = lock.mode == nvapi::kLockDisabled ? 0 : Word(node, path, "value", 0);
    if (lock.mode == nvapi::kLockDisabled && node.contains("value"))
        throw FieldError{Member(path, "value"), "a disabled lock has no value"};
    return lock;
}

uint32_t ReadInfoWord(const json& node, const std::string& path) {
    return static_cast<uint32_t>(rigjson::Integer(node, path, 0, kMaxWord));
}

}  // namespace

ClockConfig ReadClockConfig(const json& node, const std::string& path) {
    rigjson::RequireObject(node, path,
                           {"pstatesEditable", "pstates", "overVoltages", "overVoltPercentSupported",
                            "overVoltPercent", "boostLocksSupported", "locks", "perfLimitFirst", "perfLimitSecond",
                            "pstatesInfo", "voltageTableCount"});
    ClockConfig clocks;
    clocks.pstatesEditable = rigjson::Bool(node, path, "pstatesEditable", clocks.pstatesEditable);
    clocks.pstates = rigjson::List(node, path, "pstates", nvapi::kPstates20MaxPstates, "P-states", ReadPstate);
    RequireUnique(clocks.pstates, path, "pstates", "pstateId", [](const Pstate20Config& p) { return p.pstateId; });
    clocks.overVoltages = ReadVoltages(node, path, "overVoltages", nvapi::kPstates20MaxOverVoltages);
    clocks.overVoltPercentSupported =
        rigjson::Bool(node, path, "overVoltPercentSupported", clocks.overVoltPercentSupported);
    clocks.overVoltPercent = static_cast<uint32_t>(rigjson::Number(node, path, "overVoltPercent", 0, 100, 0));
    clocks.boostLocksSupported = rigjson::Bool(node, path, "boostLocksSupported", clocks.boostLocksSupported);
    clocks.locks = rigjson::List(node, path, "locks", nvapi::kClockBoostLockMaxEntries, "locks", ReadLock);
    RequireUnique(clocks.locks, path, "locks", "limitId", [](const ClockLockConfig& l) { return l.limitId; });
    clocks.perfLimitFirst = Word(node, path, "perfLimitFirst", clocks.perfLimitFirst);
    clocks.perfLimitSecond = Word(node, path, "perfLimitSecond", clocks.perfLimitSecond);
    clocks.pstatesInfo = rigjson::List(node, path, "pstatesInfo", kMaxPstatesInfoWords, "words", ReadInfoWord);
    clocks.voltageTableCount = Word(node, path, "voltageTableCount", clocks.voltageTableCount);
    return clocks;
}

}  // namespace vx::sim
