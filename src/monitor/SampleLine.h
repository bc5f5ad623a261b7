#pragma once
// The headless monitor's line for one GPU, from the live fields the sample filled.
#include <cstdint>
#include <string>

#include "monitor/LiveReadout.h"
#include "tuning/CCorvaneHDDlg.h"

namespace vx::monitor {

inline LiveValues ToLiveValues(const tuning::LiveFields& live) {
    LiveValues values;
    values.temperature = live.temperature;
    values.fanPercent = live.fanPercent;
    values.fanRpm = live.fanRpm;
    values.graphicsClock = live.graphicsClock;
    values.processorClock = live.processorClock;
    values.memoryClock = live.memoryClock;
    values.coreVoltage = live.coreVoltage;
    values.loadPercent = live.loadPercent;
    values.boardPower = live.boardPower;
    return values;
}

/// "GPU<i> temp=<C> fan=<percent>% ..." as the headless program prints after every sample.
inline std::string SampleLine(uint8_t index, const tuning::LiveFields& live) {
    return FormatLiveLine(index, ToLiveValues(live));
}

}  // namespace vx::monitor
