// Sliders that follow another: the shader clock follows the core clock through the level's
// ratio, and linked power and temperature targets map onto each other.
#include <cmath>
#include <cstdint>

#include "tuning/CCorvaneHDDlg.h"

namespace vx::tuning {
namespace {

// A scaled clock truncated toward zero, kept inside 32 bits (the slider clamps further). The
// ratio is the driver layer's float, and the arithmetic stays in float with it.
int32_t Truncated(float value) {
    if (!std::isfinite(value)) return 0;
    const double scaled = std::trunc(static_cast<double>(value));
    if (scaled >= 2147483647.0) return INT32_MAX;
    if (scaled <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(scaled);
}

// Where the other target goes when one moves to `x`: linear from (xDefault, yDefault) to each
// end of the ranges. A collapsed half (the default at its end) keeps yDefault.
int32_t MapTarget(int32_t x, int32_t xMin, int32_t xMax, int32_t xDefault, int32_t yMin, int32_t yMax,
                  int32_t yDefault) {
    int64_t y = yDefault;
    if (x >= xDefault) {
        if (xMax != xDefault)
            y = int64_t{x - xDefault} * (int64_t{yMax} - yDefault) / (int64_t{xMax} - xDefault) + yDefault;
        if (y > yMax) y = yMax;
    } else {
        if (xMin != xDefault)
            y = yDefault - int64_t{xDefault - x} * (int64_t{yDefault} - yMin) / (int64_t{xDefault} - xMin);
        if (y < yMin) y = yMin;
    }
    return static_cast<int32_t>(y);
}

}  // namespace

void CCorvaneHDDlg::OnSliderMoved(ui::CCVSlider& slider, int32_t position) {
    slider.SetPos(position);
    if (currentGpu_ < 0 || currentGpu_ >= gpuCount()) {
        Changed();
        return;
    }
    const auto g = static_cast<uint8_t>(currentGpu_);
    const GpuTuningRecord& rec = records_[g];

    const bool core = &slider == &sliders.coreClock;
    const bool shader = &slider == &sliders.shaderClock;
    if ((core || shader) && rec.linkCoreShader) {
        int32_t level = CheckedWorkMode();
        if (level == 0) {
            auto lock = LockHardware();
            int32_t graphics = 0, processor = 0, memory = 0;
            gpu_.GetLegacyCurrentClocks(g, graphics, processor, memory, level);
        }
        float ratio = gpu_.GetShaderRatio(g, level);
        // No ratio known (0 or not a number) moves both alike; so does one that cannot scale.
        if (ratio == 0.0f || !std::isfinite(ratio) || ratio < 0.0f) ratio = 1.0f;
        if (core)
            sliders.shaderClock.SetPos(Truncated(static_cast<float>(sliders.coreClock.GetPos()) * ratio));
        else
            sliders.coreClock.SetPos(Truncated(static_cast<float>(sliders.shaderClock.GetPos()) / ratio));
    }

    const bool power = &slider == &sliders.powerTarget;
    const bool temperature = &slider == &sliders.tempTarget;
    if ((power || temperature) && rec.powerTempLinked) {
        ui::CCVSlider& p = sliders.powerTarget;
        ui::CCVSlider& t = sliders.tempTarget;
        const int32_t pd = defaults_.powerTargetPercent, td = defaults_.tempTargetCelsius;
        if (temperature && p.IsEnabled())
            p.SetPos(MapTarget(t.GetPos(), t.GetRangeMin(), t.GetRangeMax(), td, p.GetRangeMin(), p.GetRangeMax(), pd));
        else if (power && t.IsEnabled())
            t.SetPos(MapTarget(p.GetPos(), p.GetRangeMin(), p.GetRangeMax(), pd, t.GetRangeMin(), t.GetRangeMax(), td));
    }
    Changed();
}

}  // namespace vx::tuning
