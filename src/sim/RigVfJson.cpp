// A GPU's `vf` object: programmable clock domains with their point ranges and offset limits,
// the number of points, and the points that differ from a plain programmable one.
#include "sim/RigVfJson.h"
#include "sim/RigJsonSupport.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <initializer_list>
#include <limits>
#include <string_view>

namespace vx::sim {
namespace {

using nlohmann::json;
using rigjson::Element;
using rigjson::Found;
using rigjson::Member;

void RequireObject(const json& node, const std::string& path, std::initializer_list<std::string_view> known) {
    rigjson::RequireObject<VfFieldError>(node, path, known);
}

constexpr int64_t kMinOffset = std::numeric_limits<int32_t>::min();
constexpr int64_t kMaxOffset = std::numeric_limits<int32_t>::max();

struct NamedCode {
    std::string_view name;
    uint32_t code;
};

constexpr NamedCode kTypes[] = {{"prog", nvapi::kVfTypeProg}, {"fixed", nvapi::kVfTypeFixed}};
constexpr NamedCode kDomainIds[] = {{"graphics", nvapi::kClockDomainGraphics},
                                    {"memory", nvapi::kClockDomainMemory},
                                    {"processor", nvapi::kClockDomainProcessor}};

int64_t Integer(const json& value, const std::string& path, int64_t min, int64_t max) {
    const std::string expected = "expected a number from " + std::to_string(min) + " to " + std::to_string(max);
    if (value.is_number_unsigned()) {
        const uint64_t v = value.get<uint64_t>();
        if (v > static_cast<uint64_t>(max) || static_cast<int64_t>(v) < min) throw VfFieldError{path, expected + ", found " + std::to_string(v)};
        return static_cast<int64_t>(v);
    }
    if (value.is_number_integer()) {
        const int64_t v = value.get<int64_t>();
        if (v < min || v > max) throw VfFieldError{path, expected + ", found " + std::to_string(v)};
        return v;
    }
    throw VfFieldError{path, expected + ", " + Found(value)};
}

int64_t Number(const json& node, const std::string& path, std::string_view key, int64_t min, int64_t max,
               int64_t fallback) {
    auto it = node.find(key);
    return it == node.end() ? fallback : Integer(*it, Member(path, key), min, max);
}

int64_t RequiredNumber(const json& node, const std::string& path, std::string_view key, int64_t min, int64_t max) {
    if (!node.contains(key)) throw VfFieldError{Member(path, key), "required field missing"};
    return Number(node, path, key, min, max, 0);
}

// A code by name, or a number below `limit`.
template <std::size_t N>
uint32_t Named(const json& node, const std::string& path, std::string_view key, const NamedCode (&names)[N],
               int64_t limit, uint32_t fallback) {
    auto it = node.find(key);
    if (it == node.end()) return fallback;
    if (it->is_string()) {
        const std::string text = it->get<std::string>();
        for (const NamedCode& named : names)
            if (named.name == text) return named.code;
        std::string list;
        for (const NamedCode& named : names) list += (list.empty() ? "" : ", ") + std::string(named.name);
        throw VfFieldError{Member(path, key), "expected a number or one of: " + list + ", found \"" + text + "\""};
    }
    return static_cast<uint32_t>(Integer(*it, Member(path, key), 0, limit));
}

VfDomainConfig ReadDomain(const json& node, const std::string& path, std::size_t pointCount) {
    RequireObject(node, path, {"type", "domainId", "offsetMaxKhz", "offsetMinKhz", "firstPoint", "lastPoint"});
    VfDomainConfig domain;
    domain.type = Named(node, path, "type", kTypes, 0xFFFFFFFF, domain.type);
    if (!node.contains("domainId")) throw VfFieldError{Member(path, "domainId"), "required field missing"};
    domain.domainId = Named(node, path, "domainId", kDomainIds, 31, 0);
    domain.offsetMaxKhz = static_cast<int32_t>(Number(node, path, "offsetMaxKhz", kMinOffset, kMaxOffset, 0));
    const int32_t minFallback = std::min(domain.offsetMaxKhz, 0);
    domain.offsetMinKhz =
        static_cast<int32_t>(Number(node, path, "offsetMinKhz", kMinOffset, domain.offsetMaxKhz, minFallback));
    if (domain.type != nvapi::kVfTypeProg) return domain;
    // A programmable domain's points must exist, or its range would name points the driver lacks.
    if (pointCount == 0) throw VfFieldError{path, "expected pointCount above 0 for a programmable domain"};
    const auto last = static_cast<int64_t>(pointCount - 1);
    domain.firstPoint = static_cast<uint8_t>(RequiredNumber(node, path, "firstPoint", 0, last));
    domain.lastPoint = static_cast<uint8_t>(RequiredNumber(node, path, "lastPoint", domain.firstPoint, last));
    return domain;
}

}  // namespace

VfConfig ReadVfConfig(const json& node, const std::string& path) {
    RequireObject(node, path, {"domains", "pointCount", "points"});
    VfConfig vf;
    const auto pointCount =
        static_cast<std::size_t>(Number(node, path, "pointCount", 0, static_cast<int64_t>(kMaxVfPoints), 0));
    vf.points.resize(pointCount);

    if (auto domains = node.find("domains"); domains != node.end()) {
        const std::string domainsPath = Member(path, "domains");
        if (!domains->is_array()) throw VfFieldError{domainsPath, "expected an array of domains, " + Found(*domains)};
        if (domains->size() > kMaxVfDomains)
            throw VfFieldError{domainsPath, "expected at most " + std::to_string(kMaxVfDomains) + " domains, found " +
                                                std::to_string(domains->size())};
        for (std::size_t i = 0; i < domains->size(); ++i)
            vf.domains.push_back(ReadDomain((*domains)[i], Element(domainsPath, i), pointCount));
    }

    if (auto points = node.find("points"); points != node.end()) {
        const std::string pointsPath = Member(path, "points");
        if (!points->is_array()) throw VfFieldError{pointsPath, "expected an array of points, " + Found(*points)};
        for (std::size_t i = 0; i < points->size(); ++i) {
            const json& item = (*points)[i];
            const std::string itemPath = Element(pointsPath, i);
            RequireObject(item, itemPath, {"index", "type", "voltageBased", "offsetKhz"});
            if (pointCount == 0) throw VfFieldError{Member(itemPath, "index"), "expected pointCount above 0"};
            const auto index = static_cast<std::size_t>(
                RequiredNumber(item, itemPath, "index", 0, static_cast<int64_t>(pointCount - 1)));
            VfPointConfig& point = vf.points[index];
            point.type = Named(item, itemPath, "type", kTypes, 0xFFFFFFFF, point.type);
            if (auto flag = item.find("voltageBased"); flag != item.end()) {
                if (!flag->is_boolean())
                    throw VfFieldError{Member(itemPath, "voltageBased"), "expected true or false, " + Found(*flag)};
                point.voltageBased = flag->get<bool>();
            }
            point.offsetKhz = static_cast<int32_t>(Number(item, itemPath, "offsetKhz", kMinOffset, kMaxOffset, 0));
        }
    }
    return vf;
}

}  // namespace vx::sim
