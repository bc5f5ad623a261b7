#pragma once
// Where each group of simulated entries is found; EntryAddress asks them in turn.
#include <cstdint>

namespace vx::sim {

void* SystemEntryAddress(uint32_t id);
void* GpuInfoEntryAddress(uint32_t id);
void* PerfClockEntryAddress(uint32_t id);
void* TelemetryEntryAddress(uint32_t id);
void* I2cEntryAddress(uint32_t id);

}  // namespace vx::sim
