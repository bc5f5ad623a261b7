#include "monitor/FanAutomation.h"

#include <algorithm>

#include "gpu/GpuAccess.h"
#include "tuning/CCorvaneHDDlg.h"
#include "ui/IClock.h"

namespace vx::monitor {
namespace {

constexpr int32_t kFull = 100;
constexpr int32_t kHoldCeilingC = 85;  // at or below it a fan held at 100 % may step down

// The cooler's level for `percent`: an RPM controller takes a speed, the others a percent.
// The level is held inside the cooler's range, which the driver would otherwise refuse.
int32_t CoolerLevel(GpuAccess& gpu, uint8_t index, int32_t percent) {
    int32_t maximum = 0, minimum = 0;
    if (gpu.GetFanLevelRange(index, maximum, minimum) != nvapi::OK || maximum <= 0 || minimum > maximum) return percent;
    int32_t level = percent;
    if (gpu.fanAccessKind(index) == kFanRpmController)
        level = static_cast<int32_t>(int64_t{percent} * maximum / kFull);
    return std::clamp(level, std::max(minimum, 0), maximum);
}

}  // namespace

FanAutomation::FanAutomation(tuning::CCorvaneHDDlg& dialog, const app::AppSettings& settings,
                             const CLineChartCtrl& curve, ui::IClock& clock)
    : dialog_(dialog), settings_(settings), curve_(curve), clock_(clock) {}

void FanAutomation::ApplyFanLevel(int gpu, int32_t mode, int32_t percent) {
    GpuAccess& access = dialog_.gpu();
    auto write = [&](int target) {
        const auto index = static_cast<uint8_t>(target);
        if (access.fanAccessKind(index) == kFanNotControllable) return;
        if (mode == kModeDriverAutomatic)
            access.RestoreAutoFan(index);  // its status is not reported
        else
            access.SetFanLevel(index, CoolerLevel(access, index, percent));
        dialog_.record(target).fanState = 0;
    };
    const int count = dialog_.gpuCount();
    if (dialog_.syncAll()) {
        for (int target = 0; target < count; ++target) write(target);
    } else if (gpu >= 0 && gpu < count) {
        write(gpu);
    }
}

void FanAutomation::RunFanAutomation(int gpu, int32_t temperature, int32_t fanPercent, int32_t levelMinimum) {
    if (gpu < 0 || gpu >= kMaxGpus) return;
    GpuAccess& access = dialog_.gpu();
    const auto index = static_cast<uint8_t>(gpu);
    if (!access.isSupported(index)) {
        if (settings_.highSet) RunThreeZone(gpu, temperature, levelMinimum);
        return;
    }
    const auto slot = static_cast<std::size_t>(gpu);
    if (access.uiFlag(index) != 0) {
        if (const auto level = CalmCurveLevel(gpu, temperature)) ApplyFanLevel(gpu, kModeFixed, *level);
        return;
    }
    curveHolds_[slot] = {};  // switched off: a later switch-on starts from the curve itself
    if (settings_.highSet2) {
        RunHeld(gpu, temperature, fanPercent, silentHoldCounts_[slot], kSilentHold, false);
    } else if (settings_.highSet3) {
        RunHeld(gpu, temperature, fanPercent, performanceHoldCounts_[slot], kPerformanceHold, true);
    } else if (settings_.highSet) {
        RunThreeZone(gpu, temperature, levelMinimum);
    }
}

std::optional<int32_t> FanAutomation::CalmCurveLevel(int gpu, int32_t temperature) {
    if (gpu < 0 || gpu >= kMaxGpus) return std::nullopt;
    const FanCurve& curve = curve_.curveOf(gpu);
    const std::optional<int32_t> wanted = CurveLevel(curve.points, curve.shape, temperature);
    const auto hysteresis = static_cast<int64_t>(
        std::min(settings_.fanCurveHysteresis, app::AppSettings::kMaxFanCurveHysteresis));
    const uint64_t delayMs =
        uint64_t{std::min(settings_.fanCurveSpinDownDelay, app::AppSettings::kMaxFanCurveSpinDownDelay)} * 1000;
    CurveHold& hold = curveHolds_[static_cast<std::size_t>(gpu)];
    // A level held for a curve the user has since edited would otherwise ignore the edit.
    if (hold.curve != curve) hold = {curve, std::nullopt, 0, std::nullopt};
    if (!wanted || (hysteresis == 0 && delayMs == 0)) return wanted;  // 0 and 0: the curve as it is

    const uint64_t now = clock_.TickCountMs();
    if (!hold.level || *wanted >= *hold.level) {
        if (!hold.level || *wanted > *hold.level) hold.riseTemperature = temperature;
        hold.level = wanted;
        hold.belowSinceMs.reset();
        return wanted;
    }
    if (int64_t{temperature} > int64_t{hold.riseTemperature} - hysteresis) {
        hold.belowSinceMs.reset();  // not far enough down: the wait starts over
        return hold.level;
    }
    if (!hold.belowSinceMs) hold.belowSinceMs = now;
    if (now - *hold.belowSinceMs < delayMs) return hold.level;
    hold = {curve, wanted, temperature, std::nullopt};
    return wanted;
}

void FanAutomation::RunThreeZone(int gpu, int32_t temperature, int32_t levelMinimum) {
    const int64_t high = (int64_t{settings_.tempSet} + 15) * 5;
    if (temperature >= high) {
        ApplyFanLevel(gpu, kModeFixed, static_cast<int32_t>((int64_t{settings_.fansHighSet} + 7) * 10));
        return;
    }
    const int32_t low = settings_.templowSet == 1 ? 50 : settings_.templowSet == 2 ? 55 : 0;
    if (temperature > low) {
        ApplyFanLevel(gpu, kModeDriverAutomatic);
        return;
    }
    const auto lowSpeed = static_cast<int32_t>((int64_t{settings_.fansSet} + 2) * 5);
    // Unsigned on purpose: a minimum the cooler reports oddly never lets the fan go lower.
    const bool belowMinimum = static_cast<uint32_t>(lowSpeed) < static_cast<uint32_t>(levelMinimum);
    ApplyFanLevel(gpu, kModeFixed, belowMinimum ? levelMinimum : lowSpeed);
}

void FanAutomation::RunHeld(int gpu, int32_t temperature, int32_t fanPercent, int32_t& holdCount, int32_t hold,
                            bool performance) {
    if (fanPercent == kFull) {
        if (temperature > kHoldCeilingC) {
            holdCount = 0;
            return;
        }
        if (holdCount != hold) {
            ++holdCount;
            return;
        }
        holdCount = 0;
    }
    if (!performance) {
        ApplyFanLevel(gpu, kModeFixed, SilentLevel(temperature));
    } else if (const auto level = PerformanceLevel(temperature)) {
        ApplyFanLevel(gpu, kModeFixed, *level);
    } else {
        ApplyFanLevel(gpu, kModeDriverAutomatic);
    }
}

void FanAutomation::ApplyFanAssociation(int gpu) {
    if (gpu < 0 || gpu >= dialog_.gpuCount()) return;
    GpuAccess& access = dialog_.gpu();
    const auto index = static_cast<uint8_t>(gpu);
    if (!access.isSupported(index) || settings_.highSet) return;
    tuning::LiveFields& live = dialog_.record(gpu).live;
    if (!settings_.fanTempSet) {
        live.fanPercent = ReadFanPercent(access, index).value_or(-1);
        return;
    }
    // Through the driver's own fan path, to this GPU alone.
    const int32_t level = CoolerLevel(access, index, AssociatedLevel(live.temperature));
    if (access.SetCoolerLevel(index, &level) == nvapi::OK) live.fanPercent = level;
}

std::optional<int32_t> FanAutomation::CurveLevel(const CLineChartCtrl::Points& points, int32_t shape,
                                                 int32_t temperature) {
    if (shape != kShapeSmooth && shape != kShapeZigzag) return std::nullopt;
    if (temperature <= points.front().x) return points.front().y;
    for (std::size_t i = 0; i + 1 < points.size(); ++i) {
        const CurvePoint& left = points[i];
        const CurvePoint& right = points[i + 1];
        if (left.x < temperature && temperature <= right.x) {
            if (shape == kShapeZigzag) return left.y;
            const int64_t rise = (int64_t{temperature} - left.x) * (int64_t{right.y} - left.y);
            return static_cast<int32_t>(left.y + rise / (int64_t{right.x} - left.x));
        }
    }
    if (temperature > points.back().x) return points.back().y;
    return std::nullopt;  // points out of order: this temperature falls into no segment
}

int32_t FanAutomation::SilentLevel(int32_t temperature) {
    if (temperature <= 55) return 20;
    if (temperature <= 65) return 25;
    if (temperature <= 75) return 30;
    if (temperature <= 80) return 35;
    if (temperature <= 85) return 40;
    return kFull;
}

std::optional<int32_t> FanAutomation::PerformanceLevel(int32_t temperature) {
    if (temperature <= 40) return std::nullopt;
    if (temperature <= 60) return 50;
    if (temperature <= 75) return 60;
    if (temperature <= 85) return 70;
    return kFull;
}

int32_t FanAutomation::AssociatedLevel(int32_t temperature) {
    const auto percent = static_cast<int32_t>(temperature * 1.125);
    // Unsigned: an unknown (negative) temperature drives the fan to full as well.
    return static_cast<uint32_t>(percent) > static_cast<uint32_t>(kFull) ? kFull : percent;
}

std::optional<int32_t> FanAutomation::ReadFanPercent(GpuAccess& gpu, uint8_t index) {
    int32_t value = 0;
    switch (gpu.fanAccessKind(index)) {
    case kFanNotControllable: return std::nullopt;
    case kFanDriverCooler: {
        int32_t mode = 0;
        gpu.GetFanMode(index, mode);  // refreshes the level the percent read reports
        if (gpu.GetFanSpeed(index, value, false) != nvapi::OK) return std::nullopt;
        return value;
    }
    case kFanRpmController: {
        int32_t maximum = 0, minimum = 0;
        if (gpu.GetFanSpeed(index, value, true) != nvapi::OK || gpu.GetFanLevelRange(index, maximum, minimum) != nvapi::OK ||
            maximum <= 0)
            return std::nullopt;
        return static_cast<int32_t>(int64_t{value} * kFull / maximum);
    }
    default:
        if (gpu.GetFanSpeed(index, value, false) != nvapi::OK) return std::nullopt;
        return value;
    }
}

}  // namespace vx::monitor
