#pragma once
// The value labels of the selected GPU as the sample leaves them: texts and colours a view
// reads after every sample.
#include <string>

#include "monitor/ViewTypes.h"

namespace vx::monitor {

inline constexpr Rgb kLabelNormal{245, 245, 245};
inline constexpr Rgb kLabelAlert{245, 0, 0};

struct ValueLabel {
    std::string text;  // empty while the GPU is not selected or the read failed
    Rgb colour = kLabelNormal;
    bool operator==(const ValueLabel&) const = default;
};

struct MonitorLabels {
    // Clocks in MHz, red outside the work mode's allowed range.
    ValueLabel graphicsClock;
    ValueLabel memoryClock;
    ValueLabel processorClock;
    Rgb temperature = kLabelNormal;  // red while the temperature alarm is armed
    Rgb voltage = kLabelNormal;      // red outside 0 to 2000 mV
    bool fanOutOfRange = false;      // the fan runs outside its allowed level range
};

}  // namespace vx::monitor
