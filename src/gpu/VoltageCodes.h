#pragma once
// The codes that on-card voltage controllers take in place of a voltage: code c stands for
// 450 + 12.5 x c millivolts, c from 0 to 127.
#include <array>
#include <cstdint>
#include <optional>

namespace vx {

class VoltageCodes {
public:
    static constexpr int kCodeCount = 128;
    static constexpr double kBaseMillivolts = 450.0;
    static constexpr double kStepMillivolts = 12.5;

    VoltageCodes();

    /// The first code whose voltage lies strictly less than half a step (6.25 mV) from
    /// `millivolts`; none for a value outside the table or exactly halfway between two codes.
    std::optional<uint8_t> VoltageToCode(double millivolts) const;
    /// The voltage of `code` in millivolts; none for a code outside 0 to 127.
    std::optional<double> CodeToVoltage(int code) const;

private:
    std::array<double, kCodeCount> millivolts_{};
};

}  // namespace vx
