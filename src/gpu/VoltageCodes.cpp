#include "gpu/VoltageCodes.h"

#include <cmath>

namespace vx {

VoltageCodes::VoltageCodes() {
    for (int code = 0; code < kCodeCount; ++code) millivolts_[code] = kBaseMillivolts + kStepMillivolts * code;
}

std::optional<uint8_t> VoltageCodes::VoltageToCode(double millivolts) const {
    // Every table value is exact in binary, so a request exactly halfway compares equal to
    // the half step and matches neither neighbour.
    for (int code = 0; code < kCodeCount; ++code) {
        if (std::fabs(millivolts_[code] - millivolts) < kStepMillivolts / 2) return static_cast<uint8_t>(code);
    }
    return std::nullopt;
}

std::optional<double> VoltageCodes::CodeToVoltage(int code) const {
    if (code < 0 || code >= kCodeCount) return std::nullopt;
    return millivolts_[code];
}

}  // namespace vx
