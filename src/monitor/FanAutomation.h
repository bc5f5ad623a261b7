#pragma once
// Temperature-driven fan control, decided for each GPU in every sample: the user curve of the
// fan curve control, the three fixed schemes of the settings dialog ("Custom mode", "Silent
// mode", "Performance mode") and the proportional rule ("Fan and temperature associated").
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "app/AppSettings.h"
#include "monitor/CLineChartCtrl.h"

namespace vx {
class GpuAccess;
namespace tuning { class CCorvaneHDDlg; }
namespace ui { class IClock; }
}  // namespace vx

namespace vx::monitor {

class FanAutomation {
public:
    /// `ApplyFanLevel` mode that hands the fan back to the driver's own control.
    static constexpr int32_t kModeDriverAutomatic = 1;
    static constexpr int32_t kModeFixed = 0;
    static constexpr int32_t kSilentHold = 30;       // samples at 100 % before stepping down
    static constexpr int32_t kPerformanceHold = 10;
    static constexpr int kMaxGpus = 10;  // the main window's GPU slots

    /// Reads the settings and the curves when it decides; all must outlive it. `clock` times
    /// the user curve's spin-down delay.
    FanAutomation(tuning::CCorvaneHDDlg& dialog, const app::AppSettings& settings, const CLineChartCtrl& curve,
                  ui::IClock& clock);

    /// The one fan write of the automation. Mode 1 returns the fan to the driver's automatic
    /// control, any other mode sets the fixed level `percent`, held inside the cooler's range.
    /// It writes GPU `gpu`'s own fan, or every GPU's while sync-all is checked; GPUs without a
    /// controllable fan are skipped. The caller holds the hardware lock.
    void ApplyFanLevel(int gpu, int32_t mode, int32_t percent = 0);

    /// Runs the scheme that applies to GPU `gpu` after its fan was read: `temperature` in °C,
    /// `fanPercent` as just read, `levelMinimum` the cooler's minimum level in percent.
    void RunFanAutomation(int gpu, int32_t temperature, int32_t fanPercent, int32_t levelMinimum);

    /// "Fan and temperature associated", after the scheme: for a supported GPU without
    /// "Custom mode", either writes temperature x 1.125 (at most 100 %) to the GPU's own fan or,
    /// with the rule off, reads the fan percent again.
    void ApplyFanAssociation(int gpu);

    /// Samples counted while the scheme holds GPU `gpu` at 100 %.
    int32_t silentHoldCount(int gpu) const { return silentHoldCounts_.at(static_cast<std::size_t>(gpu)); }
    int32_t performanceHoldCount(int gpu) const { return performanceHoldCounts_.at(static_cast<std::size_t>(gpu)); }

    // The decisions themselves. nullopt: write nothing; for the performance table it means
    // the driver's automatic control.
    /// The user curve: smooth interpolates between the points (integer arithmetic), zigzag
    /// keeps the left point's speed; a temperature that falls into no segment gives nothing.
    static std::optional<int32_t> CurveLevel(const CLineChartCtrl::Points& points, int32_t shape, int32_t temperature);
    static int32_t SilentLevel(int32_t temperature);
    static std::optional<int32_t> PerformanceLevel(int32_t temperature);
    static int32_t AssociatedLevel(int32_t temperature);

    /// The fan speed in percent, whatever unit the GPU's fan path reports; nothing when it
    /// cannot be read. The caller holds the hardware lock.
    static std::optional<int32_t> ReadFanPercent(GpuAccess& gpu, uint8_t index);

    /// The user curve's level for GPU `gpu` at `temperature`, calmed: it rises at once, but
    /// falls only once the temperature has stayed `hysteresis` °C below where it last rose for
    /// `delayMs`. 0 and 0 give the curve's own level at every sample.
    std::optional<int32_t> CalmCurveLevel(int gpu, int32_t temperature);

private:
    // What the user curve last set for one GPU.
    struct CurveHold {
        FanCurve curve;  // the curve the level came from: an edited curve starts afresh
        std::optional<int32_t> level;
        int32_t riseTemperature = 0;            // where it went up (or last came down)
        std::optional<uint64_t> belowSinceMs;   // since when it has been low enough to come down
    };

    void RunThreeZone(int gpu, int32_t temperature, int32_t levelMinimum);
    void RunHeld(int gpu, int32_t temperature, int32_t fanPercent, int32_t& holdCount, int32_t hold,
                 bool performance);

    tuning::CCorvaneHDDlg& dialog_;
    const app::AppSettings& settings_;
    const CLineChartCtrl& curve_;
    ui::IClock& clock_;
    std::array<CurveHold, kMaxGpus> curveHolds_{};
    // Per GPU: each fan follows its own GPU, so each holds on its own count.
    std::array<int32_t, kMaxGpus> silentHoldCounts_{};
    std::array<int32_t, kMaxGpus> performanceHoldCounts_{};
};

}  // namespace vx::monitor
