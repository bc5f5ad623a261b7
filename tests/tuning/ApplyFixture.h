#pragma once
// The dialog over rigs for the apply and reset flows, with readers of what the simulated
// hardware holds and a pump that waits for the clock-apply worker without timing.
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

#include "app/CMultiLangSupp.h"
#include "tuning/TuningFixture.h"

namespace vx::tuningtest {

class ApplyFixture : public TuningFixture {
protected:
    /// Runs the posted tasks until `done` holds; false when it never does.
    bool PumpUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 200000; ++i) {  // far beyond any worker's run; a hang fails, not blocks
            loop.RunPending();
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        return false;
    }
    /// Waits for the worker's notification to be handled (the apply button comes back).
    bool PumpUntilNotified() {
        return PumpUntil([this] { return dlg().buttons.apply.IsEnabled() && !dlg().workerRunning(); });
    }

    /// Starts the dialog, shows the overclocking page and presses APPLY.
    void ApplyOverclockPage() {
        dlg().ShowPage(tuning::kPageOverclock);
        dlg().ApplySettings();
    }

    /// A P-state 2.0 board (0x1184) with a three-level table.
    static sim::GpuModel KeplerGpu() { return Pstates20Rig(kKeplerId).gpus[0]; }
    /// A VF-point board (0x1B82): graphics on points 0 to 3, memory on point 4, and a P-state 2.0 table.
    static sim::GpuModel PascalGpu() {
        sim::GpuModel gpu = Pstates20Rig(kPascalId).gpus[0];
        gpu.vf.domains = {sim::VfDomainConfig{nvapi::kVfTypeProg, nvapi::kClockDomainGraphics, 1000000, -200000, 0, 3},
                          sim::VfDomainConfig{nvapi::kVfTypeProg, nvapi::kClockDomainMemory, 1000000, -500000, 4, 4}};
        gpu.vf.points.resize(5);
        return gpu;
    }
    static sim::Rig RigOf(std::initializer_list<sim::GpuModel> models) {
        sim::Rig rig = test::RigBuilder().Build();
        rig.gpus = models;
        return rig;
    }

    // What the simulated hardware holds.
    int32_t Pstate0Delta(std::size_t gpu, uint32_t domain) {
        std::lock_guard guard(simulator->mutex());
        for (const auto& clock : rig().gpus[gpu].clocks.pstates[0].clocks)
            if (clock.domainId == domain) return clock.deltaKhz;
        return -1;
    }
    int32_t OverVoltageUv(std::size_t gpu) {
        std::lock_guard guard(simulator->mutex());
        return rig().gpus[gpu].clocks.overVoltages[0].deltaUv;
    }
    int32_t VfOffset(std::size_t gpu, std::size_t point) {
        std::lock_guard guard(simulator->mutex());
        return rig().gpus[gpu].vf.points[point].offsetKhz;
    }
    uint32_t CoolerPolicy(std::size_t gpu) {
        std::lock_guard guard(simulator->mutex());
        return rig().gpus[gpu].cooler.units[0].policy;
    }
    uint32_t PowerLimitMilli(uint8_t gpu) {
        nvapi::PowerPoliciesStatus status{};
        status.version = nvapi::kPowerPoliciesStatusVer;
        status.count = 1;
        EXPECT_EQ(gpus->GetPowerPoliciesStatus(gpu, status), 0);
        return status.entries[0].powerLimit;
    }
    int32_t ThermalLimitUnits(uint8_t gpu) {
        nvapi::ThermalPoliciesInfo info{};
        nvapi::ThermalPoliciesStatus status{};
        EXPECT_EQ(gpus->GetThermalPolicies(gpu, info, status), 0);
        for (uint32_t i = 0; i < status.count && i < 4; ++i)
            if (status.entries[i].policyId == nvapi::kThermalPolicyAcoustic) return status.entries[i].currentLimit;
        return -1;
    }
    std::size_t GpuCallsTo(uint32_t id, int gpu) const {
        std::size_t count = 0;
        for (const auto& call : CallsTo(id))
            if (call.gpu == gpu) ++count;
        return count;
    }
};

}  // namespace vx::tuningtest
