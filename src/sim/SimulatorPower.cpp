// A simulated suspend and resume: what the driver drops while the machine sleeps.
#include "sim/SimulatorPower.h"

#include "sim/SimulatorImpl.h"

namespace vx::sim {

void SuspendAndResume(Simulator& simulator) {
    Simulator::Impl& impl = SimulatorAccess::Of(simulator);
    std::lock_guard lock(impl.mutex);
    for (std::size_t index = 0; index < impl.rig.gpus.size(); ++index) {
        GpuModel& gpu = impl.rig.gpus[index];
        for (Pstate20Config& pstate : gpu.clocks.pstates) {
            for (Pstate20ClockConfig& clock : pstate.clocks) clock.deltaKhz = 0;
            for (Pstate20VoltageConfig& voltage : pstate.baseVoltages) voltage.deltaUv = 0;
        }
        for (Pstate20VoltageConfig& voltage : gpu.clocks.overVoltages) voltage.deltaUv = 0;
        for (VfPointConfig& point : gpu.vf.points) point.offsetKhz = 0;
        for (CoolerUnit& unit : gpu.cooler.units) unit.policy = kCoolerPolicyAutomatic;
        ThermalModel& live = impl.thermal.Live(index, gpu.telemetry);
        live.SetClockOffsetKhz(0, 0);
        live.SetFanPercent(std::nullopt);
        const auto written = impl.written.gpus.find(index);
        if (written == impl.written.gpus.end()) continue;
        PersistedGpuState& state = written->second;
        state.clockDeltas.clear();
        state.baseVoltageDeltas.clear();
        state.overVoltageDeltas.clear();
        state.vfOffsets.clear();
        state.coolers.clear();
    }
    impl.Persist();
}

}  // namespace vx::sim
