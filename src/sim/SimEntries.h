#pragma once
// Where each group of simulated entries is found; EntryAddress asks them in turn.
#include <cstdint>

namespace vx::sim {

void* SystemEntryAddress(uint32_t id);
void* GpuInfoEntryAddress(uint32_t id);
void* PerfClockEntryAddress(uint32_t id);
void* TelemetryEntryAddress(uint32_t id);
void* I2cEntryAddress(uint32_t id);
void* ClockEntryAddress(uint32_t id);  // Clocks
void* PowerEntryAddress(uint32_t id);  // Power
void* DrsEntryAddress(uint32_t id);    // Power
void* VfEntryAddress(uint32_t id);  // VF points
void* CoolerEntryAddress(uint32_t id);  // Cooler control
void* DisplayEntryAddress(uint32_t id);  // Display tools

}  // namespace vx::sim
