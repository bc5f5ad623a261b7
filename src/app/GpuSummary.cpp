#include "app/GpuSummary.h"

namespace vx::app {

std::string FormatDriverVersion(uint32_t version) {
    const std::string digits = std::to_string(version);
    if (digits.size() <= 2) return digits;
    const std::size_t split = digits.size() - 2;
    return digits.substr(0, split) + '.' + digits.substr(split);
}

SystemSummary Summarize(GpuAccess& gpu) {
    SystemSummary summary;
    uint32_t version = 0;
    if (gpu.GetDriverVersion(version, summary.buildBranch) == 0)
        summary.driverVersionText = FormatDriverVersion(version);
    uint32_t memoryKb = 0;
    if (gpu.GetMemoryInfo(memoryKb) == 0) summary.dedicatedMemoryMb = memoryKb >> 10;
    for (uint8_t i = 0; i < gpu.GetGpuCount(); ++i) {
        GpuSummary entry;
        entry.index = i;
        if (gpu.GetGpuName(i, entry.name) != 0) entry.name.clear();
        entry.deviceIdText = gpu.deviceIdText(i);
        summary.gpus.push_back(std::move(entry));
    }
    return summary;
}

std::string GpuLine(const GpuSummary& summary) {
    std::string line = "GPU" + std::to_string(summary.index);
    if (!summary.name.empty()) line += " " + summary.name;
    return line + " " + summary.deviceIdText;
}

}  // namespace vx::app
