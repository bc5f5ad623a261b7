#include "monitor/LiveReadout.h"

#include <cstdio>

#include "gpu/TelemetryUnits.h"

namespace vx::monitor {
namespace {

// A stale handle means the driver restarted: enumerate again so the next sample works.
int32_t Checked(GpuAccess& gpu, int32_t status) {
    gpu.RefreshHandlesOnStatus(status);
    return status;
}

int32_t ClockMhz(const nvapi::ClockFrequencies& clocks, uint32_t domain) {
    const auto& entry = clocks.domains[domain];
    return (entry.flags & 1u) ? telemetry::KhzToMhz(entry.frequencyKhz) : -1;
}

}  // namespace

LiveValues ReadLiveValues(GpuAccess& gpu, uint8_t index) {
    LiveValues values;
    int32_t celsius = 0;
    if (Checked(gpu, gpu.GetTemperature(index, celsius)) == 0) values.temperature = celsius;

    nvapi::ClockFrequencies clocks = telemetry::ClockRequest(nvapi::kClockCurrent);
    if (Checked(gpu, gpu.GetClockFrequencies(index, clocks)) == 0) {
        values.graphicsClock = ClockMhz(clocks, nvapi::kClockDomainGraphics);
        values.processorClock = ClockMhz(clocks, nvapi::kClockDomainProcessor);
        values.memoryClock = ClockMhz(clocks, nvapi::kClockDomainMemory);
    }

    nvapi::DynamicPstatesInfo utilization{};
    utilization.version = nvapi::kDynamicPstatesInfoVer;
    if (Checked(gpu, gpu.GetUtilization(index, utilization)) == 0)
        values.loadPercent = telemetry::LoadPercent(utilization);

    uint32_t microvolts = 0;
    const int32_t voltageStatus = gpu.usesVfPoints(index) ? gpu.GetCoreVoltageUv(index, microvolts)
                                                           : gpu.GetCoreVoltageDomainUv(index, microvolts);
    if (Checked(gpu, voltageStatus) == 0) values.coreVoltage = telemetry::UvToMv(microvolts);

    uint32_t rpm = 0;
    if (gpu.GetTachRpm(index, rpm) == 0) values.fanRpm = static_cast<int32_t>(rpm);
    return values;
}

std::string FormatLiveLine(uint8_t index, const LiveValues& v) {
    char line[256];
    std::snprintf(line, sizeof line,
                  "GPU%u temp=%d fan=%d%% rpm=%d core=%d shader=%d mem=%d volt=%d load=%d%% power=%d",
                  static_cast<unsigned>(index), v.temperature, v.fanPercent, v.fanRpm, v.graphicsClock,
                  v.processorClock, v.memoryClock, v.coreVoltage, v.loadPercent, v.boardPower);
    return line;
}

}  // namespace vx::monitor
