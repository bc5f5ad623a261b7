// A rig file's displays: [{displayId, name, attached, width, height, refreshHz, pixelClock10kHz,
// modeWord, trialStatus, saveStatus, revertStatus, dp: {panels, firmware, locked, stuckBusy}}].
#include "sim/RigDisplayJson.h"
#include "sim/RigJsonSupport.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <limits>

namespace vx::sim {
namespace {

using nlohmann::json;
using rigjson::FieldError;
using rigjson::Member;

uint32_t Number(const json& node, const std::string& path, std::string_view key, int64_t min, int64_t max,
                uint32_t fallback) {
    return static_cast<uint32_t>(rigjson::Number(node, path, key, min, max, fallback));
}

int32_t Status(const json& node, const std::string& path, std::string_view key) {
    return static_cast<int32_t>(rigjson::Number(node, path, key, std::numeric_limits<int32_t>::min(), 0, 0));
}

DpDeviceConfig ReadDevice(const json& node, const std::string& path) {
    rigjson::RequireObject(node, path, {"panels", "firmware", "locked", "stuckBusy"});
    DpDeviceConfig dp;
    dp.present = true;
    dp.panels = static_cast<uint8_t>(Number(node, path, "panels", 0, 255, dp.panels));
    dp.firmware = rigjson::String(node, path, "firmware", dp.firmware);
    if (dp.firmware.size() > kMaxDpFirmwareChars)
        throw FieldError{Member(path, "firmware"), "expected at most 13 characters, found " +
                                                       std::to_string(dp.firmware.size())};
    dp.locked = rigjson::Bool(node, path, "locked", dp.locked);
    dp.stuckBusy = rigjson::Bool(node, path, "stuckBusy", dp.stuckBusy);
    return dp;
}

DisplayModel ReadDisplay(const json& node, const std::string& path) {
    rigjson::RequireObject(node, path, {"displayId", "name", "attached", "width", "height", "refreshHz",
                                        "pixelClock10kHz", "modeWord", "trialStatus", "saveStatus",
                                        "revertStatus", "dp"});
    DisplayModel d;
    if (!node.contains("displayId")) throw FieldError{Member(path, "displayId"), "required field missing"};
    d.displayId = static_cast<uint32_t>(rigjson::HexOrNumber(node["displayId"], Member(path, "displayId"),
                                                             0xFFFFFFFF, "0x80061001"));
    d.name = rigjson::String(node, path, "name", d.name);
    if (d.name.size() >= 64)
        throw FieldError{Member(path, "name"), "expected at most 63 characters, found " + std::to_string(d.name.size())};
    d.attached = rigjson::Bool(node, path, "attached", d.attached);
    d.width = Number(node, path, "width", 1, 16384, d.width);
    d.height = Number(node, path, "height", 1, 16384, d.height);
    d.refreshHz = Number(node, path, "refreshHz", 1, 1000, d.refreshHz);
    d.pixelClock10kHz = Number(node, path, "pixelClock10kHz", 1, 1000000, d.pixelClock10kHz);
    d.modeWord = Number(node, path, "modeWord", 0, 0xFFFFFFFF, d.modeWord);
    d.trialStatus = Status(node, path, "trialStatus");
    d.saveStatus = Status(node, path, "saveStatus");
    d.revertStatus = Status(node, path, "revertStatus");
    if (auto dp = node.find("dp"); dp != node.end()) d.dp = ReadDevice(*dp, Member(path, "dp"));
    return d;
}

}  // namespace

std::vector<DisplayModel> ReadDisplays(const json& gpu, const std::string& gpuPath) {
    std::vector<DisplayModel> displays =
        rigjson::List(gpu, gpuPath, "displays", kMaxDisplaysPerGpu, "displays", ReadDisplay);
    // Custom timing calls find a display by its ID, so two must not share one.
    for (std::size_t i = 0; i < displays.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (displays[i].displayId == displays[j].displayId)
                throw FieldError{Member(rigjson::Element(Member(gpuPath, "displays"), i), "displayId"),
                                 "expected an ID no other display uses, found " +
                                     std::to_string(displays[i].displayId) + " again"};
    return displays;
}

}  // namespace vx::sim
