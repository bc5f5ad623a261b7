#pragma once
// What the shell shows of each GPU before the main window's own model exists.
#include <cstdint>
#include <string>
#include <vector>

#include "gpu/GpuAccess.h"

namespace vx::app {

struct GpuSummary {
    int index = 0;
    std::string name;          // empty when the driver could not tell
    std::string deviceIdText;  // e.g. "1b82"
};

struct SystemSummary {
    std::string driverVersionText;  // e.g. "410.91"; empty when unknown
    std::string buildBranch;
    uint32_t dedicatedMemoryMb = 0;
    std::vector<GpuSummary> gpus;
};

/// The driver version number as shown: a point before the last two digits ("41091" ->
/// "410.91"); texts of up to two digits stay as they are.
std::string FormatDriverVersion(uint32_t version);

SystemSummary Summarize(GpuAccess& gpu);

/// One line per GPU: "GPU<i> <name> <device id>".
std::string GpuLine(const GpuSummary& summary);

}  // namespace vx::app
