#pragma once
// One GPU's user fan curve as plain values: kept per GPU, saved in the settings file and drawn
// by the fan curve control. No dependencies, so the settings file can carry it.
#include <array>
#include <cstddef>
#include <cstdint>

namespace vx::monitor {

/// One curve point: x = temperature in °C, y = fan percent.
struct CurvePoint {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const CurvePoint&) const = default;
};

enum CurveShape : int32_t { kShapeSmooth = 0, kShapeZigzag = 1 };

struct FanCurve {
    static constexpr int kPointCount = 5;
    using Points = std::array<CurvePoint, kPointCount>;
    /// The curve of an unedited GPU, and of a settings file without curve keys.
    static constexpr Points kStartPoints = {{{20, 20}, {40, 40}, {60, 60}, {80, 80}, {100, 100}}};
    static constexpr int32_t kMinTemperature = 0, kMaxTemperature = 100;

    Points points = kStartPoints;
    int32_t shape = kShapeZigzag;
    bool operator==(const FanCurve&) const = default;

    /// What an edit may leave: temperatures strictly increasing inside 0–100 °C, percents
    /// inside 0–100, a known shape. Anything else read from a file is refused.
    bool IsValid() const {
        if (shape != kShapeSmooth && shape != kShapeZigzag) return false;
        for (int i = 0; i < kPointCount; ++i) {
            const CurvePoint& p = points[static_cast<std::size_t>(i)];
            if (p.x < kMinTemperature || p.x > kMaxTemperature || p.y < 0 || p.y > 100) return false;
            if (i > 0 && p.x <= points[static_cast<std::size_t>(i - 1)].x) return false;
        }
        return true;
    }
};

/// The curves of every GPU slot, by GPU index.
inline constexpr int kFanCurveSlots = 10;
using FanCurves = std::array<FanCurve, kFanCurveSlots>;

}  // namespace vx::monitor
