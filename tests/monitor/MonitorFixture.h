#pragma once
// The main dialog over a simulated rig with the sampling loop on top: recorded beeps and
// shutdown requests, temperatures that hold still where a test puts them, and the fan writes
// that reached the simulated driver.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "monitor/SampleLoop.h"
#include "support/FakeSystemActions.h"
#include "tuning/TuningFixture.h"

namespace vx::monitortest {

inline constexpr int32_t kAmbientC = 40;

/// GPUs whose temperature is the ambient plus the sensor offset, whatever the load and fan, and
/// whose fan may go down to 10 %.
inline sim::Rig SteadyRig(std::vector<uint16_t> deviceIds) {
    test::RigBuilder builder;
    for (uint16_t id : deviceIds) builder.Gpu(id);
    sim::Rig rig = builder.Build();
    for (sim::GpuModel& gpu : rig.gpus) {
        gpu.telemetry.ambientC = kAmbientC;
        gpu.telemetry.thermalResistanceMilliCPerW = 0;
        gpu.cooler.units[0].minLevel = 10;
    }
    return rig;
}

/// One fan write as the driver saw it.
struct FanWrite {
    int gpu;
    std::optional<int32_t> level;  // nothing: back to the driver's automatic control
    bool operator==(const FanWrite&) const = default;
};

class MonitorFixture : public tuningtest::TuningFixture {
protected:
    ~MonitorFixture() override { loopUnderTest.reset(); }

    /// The dialog with GPU 0 selected, then the sampling loop on the fixture's event loop.
    void StartMonitor(sim::Rig rig) {
        StartDialog(std::move(rig));
        ASSERT_TRUE(dialog);
        loopUnderTest = std::make_unique<monitor::SampleLoop>(dlg(), settings, store, actions, clock, sampleHooks,
                                                              [this] { return randomValue; });
        loopUnderTest->Start(loop);
        ClearCalls();
    }

    monitor::SampleLoop& sampler() { return *loopUnderTest; }

    /// Runs `count` samples on the timer.
    void Samples(int count) { loop.RunFor(uint64_t{monitor::SampleLoop::kSamplePeriodMs} * count); }

    void SetTemperature(int gpu, int32_t celsius) {
        std::lock_guard guard(simulator->mutex());
        rig().gpus.at(static_cast<std::size_t>(gpu)).telemetry.sensors.at(0).offsetC = celsius - kAmbientC;
    }

    void ArmAlarm(uint32_t value) {
        store.values[app::reg::kTemperatureAlarmSet] = 1;
        store.values[app::reg::kTemperatureAlarmValue] = value;
    }

    /// Fixed levels and restores to automatic, in the order the driver received them.
    std::vector<FanWrite> FanWrites() const {
        std::vector<FanWrite> writes;
        for (const sim::CallRecord& call : simulator->Calls()) {
            if (call.status != 0) continue;
            if (call.entryId == nvapi::GPU_SetCoolerLevels && call.args.size() >= 3)
                writes.push_back({call.gpu, static_cast<int32_t>(call.args[2])});
            else if (call.entryId == nvapi::GPU_RestoreCoolerSettings)
                writes.push_back({call.gpu, std::nullopt});
        }
        return writes;
    }
    std::vector<FanWrite> TakeFanWrites() {
        std::vector<FanWrite> writes = FanWrites();
        ClearCalls();
        return writes;
    }

    test::FakeSystemActions actions;
    monitor::SampleHooks sampleHooks;  // set before StartMonitor to take effect
    int randomValue = 0;
    std::unique_ptr<monitor::SampleLoop> loopUnderTest;
};

}  // namespace vx::monitortest
