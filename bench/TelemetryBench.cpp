// Cost of telemetry reads through the binding layer, on the simulated demo rig.
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVX_BUILD_BENCHMARKS=ON
//   cmake --build build-bench --target TelemetryBench && build-bench/TelemetryBench
#include <benchmark/benchmark.h>

#include "gpu/GpuAccess.h"
#include "monitor/LiveReadout.h"
#include "sim/Simulator.h"

namespace {

struct DemoRigGpus {
    DemoRigGpus() : simulator(vx::sim::DemoRig()), binding(vx::driver::InProcessOpener(vx::sim::Simulator::QueryInterface())), gpu(binding) {
        simulator.Activate();
        gpu.SetTraceSink([](const std::string&) {});
        if (gpu.Initialize() != 0) throw std::runtime_error("demo rig did not initialise");
    }
    vx::sim::Simulator simulator;
    vx::driver::DriverBinding binding;
    vx::GpuAccess gpu;
};

// One driver entry resolved from the binding's cache: the fixed cost every GPU read pays.
void BM_CachedEntryCall(benchmark::State& state) {
    DemoRigGpus rig;
    uint32_t pstate = 0;
    for (auto _ : state) benchmark::DoNotOptimize(rig.gpu.GetCurrentPstate(0, pstate));
}
BENCHMARK(BM_CachedEntryCall);

// A pair: the same simulator entry through a plain function pointer and through the binding.
// The difference is the binding's own share of every call (busy count, bound check, cache).
void BM_EntryThroughPlainPointer(benchmark::State& state) {
    DemoRigGpus rig;
    const auto entry = reinterpret_cast<vx::nvapi::GetCurrentPstateFn>(
        vx::sim::Simulator::QueryInterface()(vx::nvapi::GPU_GetCurrentPstate));
    const vx::nvapi::PhysicalGpuHandle handle = rig.gpu.Record(0)->hPhysicalGpu.load();
    uint32_t pstate = 0;
    for (auto _ : state) benchmark::DoNotOptimize(entry(handle, &pstate));
}
BENCHMARK(BM_EntryThroughPlainPointer);

void BM_EntryThroughBinding(benchmark::State& state) {
    DemoRigGpus rig;
    const vx::nvapi::PhysicalGpuHandle handle = rig.gpu.Record(0)->hPhysicalGpu.load();
    uint32_t pstate = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            rig.binding.Call<vx::nvapi::GetCurrentPstateFn>(vx::nvapi::GPU_GetCurrentPstate, handle, &pstate));
}
BENCHMARK(BM_EntryThroughBinding);

void BM_TemperatureRead(benchmark::State& state) {
    DemoRigGpus rig;
    int32_t celsius = 0;
    for (auto _ : state) benchmark::DoNotOptimize(rig.gpu.GetTemperature(0, celsius));
}
BENCHMARK(BM_TemperatureRead);

// Everything the headless monitor reads for one GPU in one sample.
void BM_FullSensorSetOneGpu(benchmark::State& state) {
    DemoRigGpus rig;
    for (auto _ : state) benchmark::DoNotOptimize(vx::monitor::ReadLiveValues(rig.gpu, 0));
}
BENCHMARK(BM_FullSensorSetOneGpu);

}  // namespace

BENCHMARK_MAIN();
