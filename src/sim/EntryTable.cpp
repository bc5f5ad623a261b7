// Entries the simulator does not provide yet are absent, as in a driver that lacks them.
#include "sim/SimEntries.h"
#include "sim/SimulatorImpl.h"

namespace vx::sim {

void* EntryAddress(uint32_t id) {
    for (void* (*group)(uint32_t) : {&SystemEntryAddress, &GpuInfoEntryAddress, &PerfClockEntryAddress,
                                        &TelemetryEntryAddress, &I2cEntryAddress, &ClockEntryAddress, &VfEntryAddress,
                                        &PowerEntryAddress, &DrsEntryAddress,
                                        &CoolerEntryAddress, &DisplayEntryAddress})
        if (void* entry = group(id)) return entry;
    return nullptr;
}

}  // namespace vx::sim
