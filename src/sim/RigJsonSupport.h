#pragma once
// Pieces every rig-file reader shares: field paths for error messages, and the check that an
// object holds only known fields (a typo must never pass silently).
#include <nlohmann/json.hpp>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <string_view>

namespace vx::sim::rigjson {

inline std::string Member(const std::string& base, std::string_view key) { return base + "." + std::string(key); }

inline std::string Element(const std::string& base, std::size_t index) {
    return base + "[" + std::to_string(index) + "]";
}

/// What was found instead, for an error message.
inline std::string Found(const nlohmann::json& value) {
    if (value.is_number()) return "found " + value.dump();
    return std::string("found ") + value.type_name();
}

/// Throws `Error{path, message}` unless `node` is an object whose fields are all in `known`.
template <typename Error>
void RequireObject(const nlohmann::json& node, const std::string& path, std::initializer_list<std::string_view> known) {
    if (!node.is_object()) throw Error{path, "expected an object, " + Found(node)};
    for (const auto& item : node.items()) {
        if (std::find(known.begin(), known.end(), item.key()) != known.end()) continue;
        std::string list;
        for (std::string_view name : known) list += (list.empty() ? "" : ", ") + std::string(name);
        throw Error{Member(path, item.key()), "unknown field (expected one of: " + list + ")"};
    }
}

}  // namespace vx::sim::rigjson
