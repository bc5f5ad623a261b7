#include "monitor/BoardPowerEstimator.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace vx::monitor {
namespace {

constexpr float kSensorScale = 0.95f / 0.025f;
constexpr float kShownAtLeast = 7.5f;     // a lower estimate shows 7 to 10 W
constexpr float kIdleShownAtMost = 15.0f;  // a 2D level above this shows 12 to 15 W
constexpr double kWattsPerCount = 0.0049;

// The two device ID groups of the power-monitor boards.
bool ScalesPage11(uint16_t id) { return id == 0x1080 || id == 0x1081 || id == 0x1086; }
bool ReadsHigh(uint16_t id) { return id == 0x1245 || id == 0x0DE0 || id == 0x0DE1 || id == 0x0DC4 || id == 0x1244; }

// The whole part of a wattage; a reading that makes no sense counts as 0.
int32_t WholeWatts(double watts) {
    if (!std::isfinite(watts) || watts <= 0.0) return 0;
    return watts >= 2147483647.0 ? 2147483647 : static_cast<int32_t>(watts);
}

}  // namespace

BoardPowerEstimator::BoardPowerEstimator(RandomSource random) : random_(std::move(random)) {}

std::optional<int32_t> BoardPowerEstimator::SensorPairSample(std::optional<float> a, std::optional<float> b,
                                                             const std::function<bool()>& isLevel2D) {
    if (sampleCount_ == kSamplesPerEstimate) {
        sampleCount_ = 0;
        // Single precision on purpose: the first estimate must come out as exactly 1.0.
        const float mean = accumulator_ / static_cast<float>(kSamplesPerEstimate);
        const float root = std::sqrt(mean);
        float estimate = root * kSensorScale;
        lastEstimate_ = estimate;
        if (estimate > 1.0f) aboveOne_ = true;
        auto pick = [this](int from) {
            const int value = random_ ? random_() : 0;
            return static_cast<float>(static_cast<unsigned>(value) % 4u + static_cast<unsigned>(from));
        };
        if (estimate <= kShownAtLeast) estimate = pick(7);
        if (isLevel2D && isLevel2D() && estimate > kIdleShownAtMost) estimate = pick(12);
        accumulator_ = 0.0f;
        return WholeWatts(estimate);
    }
    if (a && b) {
        accumulator_ += (*a) * (*a) * (*b) * (*b);
        ++sampleCount_;
    }
    return std::nullopt;
}

int32_t BoardPowerEstimator::RegulatorWatts(const std::array<std::optional<uint16_t>, 3>& counts, uint16_t deviceId,
                                            const std::function<bool()>& isLevel2DOr3DPerf) {
    // A 16-bit sum as the boards report it, held at its top instead of wrapping to a small wattage.
    uint32_t sum = 0;
    for (std::size_t page = 0; page < counts.size(); ++page) {
        if (!counts[page]) continue;
        const uint32_t count = *counts[page];
        sum += (page == 2 && ScalesPage11(deviceId)) ? count * 3 / 2 : count;
        sum = std::min<uint32_t>(sum, 0xFFFF);
    }
    if (ReadsHigh(deviceId) && isLevel2DOr3DPerf && isLevel2DOr3DPerf())
        sum = static_cast<uint32_t>(static_cast<double>(sum) / 1.1);
    return WholeWatts(sum * kWattsPerCount);
}

}  // namespace vx::monitor
