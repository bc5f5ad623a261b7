#include "display/WideTimings.h"

#include <cmath>
#include <cstdio>

namespace vx::display {
namespace {

struct Resolution {
    uint32_t width, height;
};
constexpr Resolution kResolutions[] = {{800, 600},   {1024, 768},  {1280, 800},  {1280, 1024},
                                       {1360, 768},  {1440, 900},  {1600, 900},  {1600, 1200},
                                       {1680, 1050}, {1920, 1080}, {1920, 1200}};

}  // namespace

uint32_t PanelsAcross(uint8_t reported) { return reported == 0 || reported > 4 ? 1 : reported; }

WideTiming FixedBlankingTiming(uint32_t width, uint32_t height, uint32_t refreshMilliHz) {
    WideTiming t;
    t.hActive = width;
    t.hTotal = width + 160;
    t.hSync = 32;
    t.hBackPorch = 80;
    t.vActive = height;
    t.vTotal = height + 35;
    t.vSync = 6;
    t.vBackPorch = 26;
    t.refreshMilliHz = refreshMilliHz;
    // Truncated, as the device expects.
    t.pixelClockHz = static_cast<uint32_t>(uint64_t(t.hTotal) * t.vTotal * refreshMilliHz / 1000);
    return t;
}

std::vector<WideTiming> WideTimingList(uint32_t panels) {
    std::vector<WideTiming> list;
    for (const Resolution& r : kResolutions) {
        if (list.size() >= kMaxWideTimings) break;
        for (uint32_t milliHz : {60000u, 50000u}) {
            WideTiming t = FixedBlankingTiming(panels * r.width, r.height, milliHz);
            if (t.pixelClockHz < kMaxPixelClockHz) {
                list.push_back(t);
                break;
            }
        }
    }
    return list;
}

std::string WideTimingLabel(const WideTiming& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%dX%d@%dHz %.1fMHz 8 bits", int(t.hActive), int(t.vActive),
                  int(t.refreshMilliHz / 1000), t.pixelClockHz / 1e6);
    return text;
}

float RefreshOf(const WideTiming& t) {
    const double pixels = double(t.hTotal) * t.vTotal;
    return pixels > 0 ? static_cast<float>(t.pixelClockHz / pixels) : 0.0f;
}

nvapi::CustomDisplay CustomDisplayFor(const WideTiming& t, const nvapi::Timing& base) {
    nvapi::CustomDisplay cd{};
    cd.version = nvapi::kCustomDisplayVer;
    cd.width = t.hActive;
    cd.height = t.vActive;
    cd.depth = 32;
    cd.colorFormat = 0;
    cd.srcPartition = {0.0f, 0.0f, 1.0f, 1.0f};
    cd.xRatio = cd.yRatio = 1.0f;
    cd.timing = base;
    nvapi::Timing& out = cd.timing;
    out.hFrontPorch = static_cast<uint16_t>(t.hTotal - t.hSync - t.hBackPorch - t.hActive);
    out.vFrontPorch = static_cast<uint16_t>(t.vTotal - t.vSync - t.vBackPorch - t.vActive);
    out.hSyncPol = t.hPolarity ? 0 : 1;
    out.vSyncPol = t.vPolarity ? 0 : 1;
    out.hSyncWidth = static_cast<uint16_t>(t.hSync);
    out.vSyncWidth = static_cast<uint16_t>(t.vSync);
    out.hTotal = static_cast<uint16_t>(t.hTotal);
    out.vTotal = static_cast<uint16_t>(t.vTotal);
    const float refresh = RefreshOf(t);
    out.pclk = t.pixelClockHz / 10000;
    out.rr = static_cast<uint16_t>(std::lround(refresh));
    out.rrx1k = static_cast<uint32_t>(refresh * 1000);
    return cd;
}

}  // namespace vx::display
