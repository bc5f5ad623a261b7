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

using rigjson::FieldError;
using rigjson::Named;
using rigjson::NamedCode;
using rigjson::Number;
using rigjson::RequiredNumber;
using rigjson::RequireObject;

constexpr int64_t kMinOffset = std::numeric_limits<int32_t>::min();
constexpr int64_t kMaxOffset = std::numeric_limits<int32_t>::max();

constexpr NamedCode kTypes[] = {{"prog", nvapi::kVfTypeProg}, {"fixed", nvapi::kVfTypeFixed}};
constexpr NamedCode kDomainIds[] = {{"graphics", nvapi::kClockDomainGraphics},
                                    {"memory", nvapi::kClockDomainMemory},
                                    {"processor", nvapi::kClockDomainProcessor}};

VfDomainConfig ReadDomain(const json& node, const std::string& path, std::size_t pointCount) {
    RequireObject(node, path, {"type", "domainId", "offsetMaxKhz", "offsetMinKhz", "firstPoint", "lastPoint"});
    VfDomainConfig domain;
    domain.type = Named(node, path, "type", kTypes, 0xFFFFFFFF, domain.type);
    if (!node.contains("domainId")) throw FieldError{Member(path, "domainId"), "required field missing"};
    domain.domainId = Named(node, path, "domainId", kDomainIds, 31, 0);
    domain.offsetMaxKhz = static_cast<int32_t>(Number(node, path, "offsetMaxKhz", kMinOffset, kMaxOffset, 0));
    const int32_t minFallback = std::min(domain.offsetMaxKhz, 0);
    domain.offsetMinKhz =
        static_cast<int32_t>(Number(node, path, "offsetMinKhz", kMinOffset, domain.offsetMaxKhz, minFallback));
    if (domain.type != nvapi::kVfTypeProg) return domain;
    // A programmable domain's points must exist, or its range would name points the driver lacks.
    if (pointCount == 0) throw FieldError{path, "expected pointCount above 0 for a programmable domain"};
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
        if (!domains->is_array()) throw FieldError{domainsPath, "expected an array of domains, " + Found(*domains)};
        if (domains->size() > kMaxVfDomains)
            throw FieldError{domainsPath, "expected at most " + std::to_string(kMaxVfDomains) + " domains, found " +
                                                std::to_string(domains->size())};
        for (std::size_t i = 0; i < domains->size(); ++i)
            vf.domains.push_back(ReadDomain((*domains)[i], Element(domainsPath, i), pointCount));
    }

    if (auto points = node.find("points"); points != node.end()) {
        const std::string pointsPath = Member(path, "points");
        if (!points->is_array()) throw FieldError{pointsPath, "expected an array of points, " + Found(*points)};
        for (std::size_t i = 0; i < points->size(); ++i) {
            const json& item = (*points)[i];
            const std::string itemPath = Element(pointsPath, i);
            RequireObject(item, itemPath, {"index", "type", "voltageBased", "offsetKhz"});
            if (pointCount == 0) throw FieldError{Member(itemPath, "index"), "expected pointCount above 0"};
            const auto index = static_cast<std::size_t>(
                RequiredNumber(item, itemPath, "index", 0, static_cast<int64_t>(pointCount - 1)));
            VfPointConfig& point = vf.points[index];
            point.type = Named(item, itemPath, "type", kTypes, 0xFFFFFFFF, point.type);
            if (auto flag = item.find("voltageBased"); flag != item.end()) {
                if (!flag->is_boolean())
                    throw FieldError{Member(itemPath, "voltageBased"), "expected true or false, " + Found(*flag)};
                point.voltageBased = flag->get<bool>();
            }
            point.offsetKhz = static_cast<int32_t>(Number(item, itemPath, "offsetKhz", kMinOffset, kMaxOffset, 0));
        }
    }
    return vf;
}

}  // namespace vx::sim
