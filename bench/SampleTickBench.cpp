// CPU cost of one sampling tick on the simulated driver, per GPU, for 1, 2 and 10 GPUs (the
// demo rig's two boards repeated). No fan scheme and no alarm: the plain monitoring cost.
//   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVX_BUILD_BENCHMARKS=ON
// Also what the on-screen display feed adds to one sample of 2 GPUs (every switch on), as the
// median of 9 runs, with the text unchanged and with a new text (the feed file rewritten in
// $XDG_RUNTIME_DIR, which a desktop session keeps in memory).
//   cmake --build build-bench --target SampleTickBench && build-bench/SampleTickBench
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <map>
#include <stdexcept>

#include "app/AppSettings.h"
#include "gpu/GpuAccess.h"
#include "monitor/OverlayFeed.h"
#include "monitor/SampleLoop.h"
#include "platform/AppPaths.h"
#include "platform/posix/PosixOverlayBridge.h"
#include "platform/SettingsStore.h"
#include "platform/SystemActions.h"
#include "sim/Simulator.h"
#include "tuning/CCorvaneHDDlg.h"
#include "ui/IClock.h"
#include "ui/IEventLoop.h"
#include "ui/IPrompts.h"

namespace {

struct QuietPrompts : vx::ui::IPrompts {
    vx::ui::BoxAnswer MessageBox(const std::string&, const std::string&, vx::ui::BoxIcon, vx::ui::BoxButtons) override {
        return vx::ui::BoxAnswer::Ok;
    }
};

struct IdleLoop : vx::ui::IEventLoop {
    void Post(std::function<void()>) override {}
    void SetTimer(uint32_t, uint32_t, std::function<void()>) override {}
    void KillTimer(uint32_t) override {}
    void Quit(int) override {}
};

struct MemoryStore : vx::platform::SettingsStore {
    std::optional<uint32_t> Read(const std::string& name) const override {
        const auto it = values.find(name);
        return it == values.end() ? std::nullopt : std::optional<uint32_t>(it->second);
    }
    bool Write(const std::string& name, uint32_t value) override {
        values[name] = value;
        return true;
    }
    std::map<std::string, uint32_t> values;
};

struct SilentActions : vx::platform::SystemActions {
    void Beep(uint32_t, uint32_t) override {}
    bool ScheduleShutdown(uint32_t, const std::string&) override { return false; }
};

vx::sim::Rig RigOf(int gpuCount) {
    const vx::sim::Rig demo = vx::sim::DemoRig();
    vx::sim::Rig rig = demo;
    rig.gpus.clear();
    for (int i = 0; i < gpuCount; ++i) rig.gpus.push_back(demo.gpus[static_cast<std::size_t>(i) % demo.gpus.size()]);
    return rig;
}

struct SampledRig {
    explicit SampledRig(int gpuCount)
        : simulator(RigOf(gpuCount)),
          binding(vx::driver::InProcessOpener(vx::sim::Simulator::QueryInterface())),
          gpu(binding) {
        simulator.Activate();
        simulator.SetCallLogCapacity(0);  // measure the program, not the simulator's log
        gpu.SetTraceSink([](const std::string&) {});
        gpu.SetDebugSink([](const std::string&) {});
        if (gpu.Initialize() != 0 || gpu.GetGpuCount() != gpuCount) throw std::runtime_error("rig did not initialise");
        settings.Load(store);
        dialog = std::make_unique<vx::tuning::CCorvaneHDDlg>(gpu, prompts, loop, vx::ui::SystemClock(), settings);
        dialog->OnInitDialog(1);
        sampler = std::make_unique<vx::monitor::SampleLoop>(*dialog, settings, store, actions, vx::ui::SystemClock());
    }
    ~SampledRig() {
        sampler.reset();
        dialog.reset();
    }

    vx::sim::Simulator simulator;
    vx::driver::DriverBinding binding;
    vx::GpuAccess gpu;
    QuietPrompts prompts;
    IdleLoop loop;
    MemoryStore store;
    SilentActions actions;
    vx::app::AppSettings settings;
    std::unique_ptr<vx::tuning::CCorvaneHDDlg> dialog;
    std::unique_ptr<vx::monitor::SampleLoop> sampler;
};

// Items are GPUs, so the reported rate is per GPU sampled.
void BM_SampleTick(benchmark::State& state) {
    const auto gpuCount = static_cast<int>(state.range(0));
    SampledRig rig(gpuCount);
    for (auto _ : state) rig.sampler->SampleTick();
    state.SetItemsProcessed(state.iterations() * gpuCount);
    // CPU seconds per GPU, printed with an SI prefix (u = microseconds).
    state.counters["per_gpu"] = benchmark::Counter(static_cast<double>(state.iterations() * gpuCount),
                                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SampleTick)->Arg(1)->Arg(2)->Arg(10)->Unit(benchmark::kMicrosecond);

// Arg 0: the same values every sample; 1: a new temperature every sample.
void BM_OverlayPerSample(benchmark::State& state) {
    SampledRig rig(2);
    rig.sampler->SampleTick();
    rig.settings.osdClockShow = rig.settings.osdTempShow = rig.settings.osdFanSpeedShow = true;
    // The feed file goes where the program puts it: $XDG_RUNTIME_DIR (tmpfs in a desktop session).
    const std::filesystem::path runtimeDir = vx::platform::ResolveAppPaths(std::nullopt).runtimeDir;
    std::filesystem::create_directories(runtimeDir);
    const std::string suffix = std::to_string(::getpid());
    vx::platform::PosixOverlayBridge bridge("/vx-bench-DX11_Shared-" + suffix, "/vx-bench-sg_Shared-" + suffix,
                                            runtimeDir / ("vx-bench-osd-" + suffix + ".txt"));
    vx::monitor::OverlayFeed feed(bridge, rig.settings, *rig.dialog, vx::ui::SystemClock());
    feed.InitOverlay(0);
    int32_t& temperature = rig.dialog->record(0).live.temperature;
    for (auto _ : state) {
        if (state.range(0) != 0) temperature = 40 + (temperature + 1) % 50;
        feed.AppendGpuOverlay(0);
        feed.AppendGpuOverlay(1);
        feed.PublishOverlay();
    }
    bridge.HookCBT_Uninstall();  // names and file go with the run
}
BENCHMARK(BM_OverlayPerSample)
    ->Arg(0)
    ->Arg(1)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
