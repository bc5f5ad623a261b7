#pragma once
// Board power of the cards that carry a sensor pair or power monitors. The sensor-pair path
// averages ten samples; its numbers are shaped for display (a low or idle reading shows a
// plausible small wattage picked at random), the monitor path adds up the regulators.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

namespace vx::monitor {

class BoardPowerEstimator {
public:
    /// Returns a non-negative pseudo-random number, like std::rand.
    using RandomSource = std::function<int()>;
    static constexpr int kSamplesPerEstimate = 10;
    /// So that the very first estimate of a run is exactly 1.0.
    static constexpr float kStartAccumulator = 0.025f * 10 * 0.025f / 0.9025f;

    explicit BoardPowerEstimator(RandomSource random);

    /// The sensor-pair path, once per sample of a GPU with the pair: every tenth call makes an
    /// estimate from the readings gathered so far (the level read only then, through
    /// `isLevel2D`) and returns the wattage; the other calls add this sample's readings `a` and
    /// `b`, or nothing when they could not be read, and return nothing.
    std::optional<int32_t> SensorPairSample(std::optional<float> a, std::optional<float> b,
                                            const std::function<bool()>& isLevel2D);
    /// Whether an estimate above 1.0 has been seen.
    bool aboveOne() const { return aboveOne_; }
    /// The estimate before it was shaped for display (the last one made).
    float lastEstimate() const { return lastEstimate_; }

    /// The power-monitor path: counts of regulator pages 9, 10, 11 (nothing for an absent or
    /// unreadable page), the PCI device ID and whether the level is 2D or 3D performance.
    static int32_t RegulatorWatts(const std::array<std::optional<uint16_t>, 3>& counts, uint16_t deviceId,
                                  const std::function<bool()>& isLevel2DOr3DPerf);

private:
    RandomSource random_;
    float accumulator_ = kStartAccumulator;
    int32_t sampleCount_ = kSamplesPerEstimate;  // the first sample estimates at once
    bool aboveOne_ = false;
    float lastEstimate_ = 0.0f;
};

}  // namespace vx::monitor
