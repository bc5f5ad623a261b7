#pragma once
// How a GPU reports its fan speed.
#include "gpu/GpuRecord.h"

namespace vx::monitor {

/// The RPM controller, and the microcontroller kinds with the RPM flag, report RPM; the others percent.
inline bool ReportsRpm(const GpuRecord& record) {
    const int32_t kind = record.fanAccessKind;
    return kind == kFanRpmController ||
           ((kind == kFanDriverWithTachMcu || kind == kFanDriverWithMcuWrites) && record.fanFlags == 1);
}

}  // namespace vx::monitor
