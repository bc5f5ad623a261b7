#pragma once
// One GPU's live values as one reading: what the headless monitor prints each sample.
#include <cstdint>
#include <string>

#include "gpu/GpuAccess.h"

namespace vx::monitor {

/// Live values in display units; -1 where the GPU cannot tell.
struct LiveValues {
    int32_t temperature = -1;  // °C
    int32_t fanPercent = -1;
    int32_t fanRpm = -1;
    int32_t graphicsClock = -1;   // MHz
    int32_t processorClock = -1;  // MHz ("shader")
    int32_t memoryClock = -1;     // MHz
    int32_t coreVoltage = -1;     // mV
    int32_t loadPercent = -1;
    int32_t boardPower = -1;      // W
};

/// Reads the values the telemetry reads can give; a stale-handle status refreshes the
/// handles so the next reading works again.
LiveValues ReadLiveValues(GpuAccess& gpu, uint8_t index);

/// "GPU<i> temp=<C> fan=<percent>% rpm=<rpm> core=<MHz> shader=<MHz> mem=<MHz> volt=<mV>
/// load=<percent>% power=<W>"
std::string FormatLiveLine(uint8_t index, const LiveValues& values);

}  // namespace vx::monitor
