#pragma once
// Pieces every rig-file reader shares: field paths for error messages, the check that an
// object holds only known fields (a typo must never pass silently), and readers of numbers,
// flags, named codes and bounded lists that name the field and what was expected.
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vx::sim::rigjson {

/// A field that cannot be used: its JSON path and what was expected.
struct FieldError {
    std::string path;
    std::string problem;
};

/// `base.key`; a top-level field (empty base) is just `key`.
inline std::string Member(const std::string& base, std::string_view key) {
    return base.empty() ? std::string(key) : base + "." + std::string(key);
}

inline std::string Element(const std::string& base, std::size_t index) {
    return base + "[" + std::to_string(index) + "]";
}

/// What was found instead, for an error message.
inline std::string Found(const nlohmann::json& value) {
    if (value.is_number()) return "found " + value.dump();
    if (value.is_string()) return "found \"" + value.get<std::string>() + "\"";
    return std::string("found ") + value.type_name();
}

inline std::string NameList(std::initializer_list<std::string_view> names) {
    std::string list;
    for (std::string_view name : names) list += (list.empty() ? "" : ", ") + std::string(name);
    return list;
}

/// Throws FieldError unless `node` is an object whose fields are all in `known`.
inline void RequireObject(const nlohmann::json& node, const std::string& path,
                          std::initializer_list<std::string_view> known) {
    if (!node.is_object()) throw FieldError{path.empty() ? "(top level)" : path, "expected an object, " + Found(node)};
    for (const auto& item : node.items())
        if (std::find(known.begin(), known.end(), item.key()) == known.end())
            throw FieldError{Member(path, item.key()), "unknown field (expected one of: " + NameList(known) + ")"};
}

/// An integer from `min` to `max`. Throws FieldError.
inline int64_t Integer(const nlohmann::json& value, const std::string& path, int64_t min, int64_t max) {
    const std::string expected = "expected a number from " + std::to_string(min) + " to " + std::to_string(max);
    if (value.is_number_unsigned()) {
        const uint64_t v = value.get<uint64_t>();
        if (v > static_cast<uint64_t>(max) || static_cast<int64_t>(v) < min)
            throw FieldError{path, expected + ", found " + std::to_string(v)};
        return static_cast<int64_t>(v);
    }
    if (value.is_number_integer()) {
        const int64_t v = value.get<int64_t>();
        if (v < min || v > max) throw FieldError{path, expected + ", found " + std::to_string(v)};
        return v;
    }
    throw FieldError{path, expected + ", " + Found(value)};
}

/// "0x1F" or "0X1f" hexadecimal, with `decimal` also plain digits; at most 16 digits.
inline std::optional<uint64_t> ParseNumberText(const std::string& text, bool decimal) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    if (!hex && !decimal) return std::nullopt;
    const std::size_t start = hex ? 2 : 0;
    if (text.size() <= start || text.size() - start > 16) return std::nullopt;
    uint64_t value = 0;
    for (std::size_t i = start; i < text.size(); ++i) {
        const char c = text[i];
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0) return std::nullopt;
        value = value * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
    }
    return value;
}

/// A number, or a hex string such as `example`, from 0 to `max`. Throws FieldError.
inline uint64_t HexOrNumber(const nlohmann::json& value, const std::string& path, uint64_t max,
                            std::string_view example) {
    const std::string expected = "expected a number from 0 to " + std::to_string(max) + " or a hex string like \"" +
                                 std::string(example) + "\"";
    if (value.is_number_unsigned()) {
        if (value.get<uint64_t>() > max) throw FieldError{path, expected + ", " + Found(value)};
        return value.get<uint64_t>();
    }
    if (value.is_string()) {
        const std::optional<uint64_t> parsed = ParseNumberText(value.get<std::string>(), false);
        if (!parsed || *parsed > max) throw FieldError{path, expected + ", " + Found(value)};
        return *parsed;
    }
    throw FieldError{path, expected + ", " + Found(value)};
}

/// A string, or `fallback` when absent.
inline std::string String(const nlohmann::json& node, const std::string& path, std::string_view key,
                          const std::string& fallback) {
    auto it = node.find(std::string(key));
    if (it == node.end()) return fallback;
    if (!it->is_string()) throw FieldError{Member(path, key), "expected a string, " + Found(*it)};
    return it->get<std::string>();
}

/// Field `key` of `node` as an integer from `min` to `max`, or `fallback` when absent.
inline int64_t Number(const nlohmann::json& node, const std::string& path, std::string_view key, int64_t min,
                      int64_t max, int64_t fallback) {
    auto it = node.find(std::string(key));
    return it == node.end() ? fallback : Integer(*it, Member(path, key), min, max);
}

inline int64_t RequiredNumber(const nlohmann::json& node, const std::string& path, std::string_view key,
                              int64_t min, int64_t max) {
    if (!node.contains(std::string(key))) throw FieldError{Member(path, key), "required field missing"};
    return Number(node, path, key, min, max, 0);
}

inline bool Bool(const nlohmann::json& node, const std::string& path, std::string_view key, bool fallback) {
    auto it = node.find(std::string(key));
    if (it == node.end()) return fallback;
    if (!it->is_boolean()) throw FieldError{Member(path, key), "expected true or false, " + Found(*it)};
    return it->get<bool>();
}

struct NamedCode {
    std::string_view name;
    uint32_t code;
};

/// A code by one of `names`, or a number from 0 to `limit`; `fallback` when absent.
template <std::size_t N>
uint32_t Named(const nlohmann::json& node, const std::string& path, std::string_view key,
               const NamedCode (&names)[N], int64_t limit, uint32_t fallback) {
    auto it = node.find(std::string(key));
    if (it == node.end()) return fallback;
    if (it->is_string()) {
        const std::string text = it->get<std::string>();
        for (const NamedCode& named : names)
            if (named.name == text) return named.code;
        std::string list;
        for (const NamedCode& named : names) list += (list.empty() ? "" : ", ") + std::string(named.name);
        throw FieldError{Member(path, key), "expected a number or one of: " + list + ", " + Found(*it)};
    }
    return static_cast<uint32_t>(Integer(*it, Member(path, key), 0, limit));
}

/// Field `key` as an array of at most `maximum` `what`s, each read by `read(item, itemPath)`;
/// empty when absent.
template <typename Read>
auto List(const nlohmann::json& node, const std::string& path, std::string_view key, std::size_t maximum,
          std::string_view what, Read read) -> std::vector<decltype(read(node, path))> {
    std::vector<decltype(read(node, path))> items;
    auto it = node.find(std::string(key));
    if (it == node.end()) return items;
    const std::string where = Member(path, key);
    if (!it->is_array()) throw FieldError{where, "expected an array of " + std::string(what) + ", " + Found(*it)};
    if (it->size() > maximum)
        throw FieldError{where, "expected at most " + std::to_string(maximum) + " " + std::string(what) + ", found " +
                                    std::to_string(it->size())};
    for (std::size_t i = 0; i < it->size(); ++i) items.push_back(read((*it)[i], Element(where, i)));
    return items;
}

}  // namespace vx::sim::rigjson
