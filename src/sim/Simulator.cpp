#include "sim/Simulator.h"

#include "sim/SimulatorImpl.h"

#include "gpu/NvApiIds.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <tuple>

namespace vx::sim {
namespace {

// The simulator that the exported entries serve. Entries hold the lock shared for a whole
// call; activating or destroying a simulator takes it exclusively.
std::shared_mutex gRegistryMutex;
Simulator* gActive = nullptr;

uint32_t NextInstance() {
    static std::atomic<uint32_t> counter{0};
    return counter.fetch_add(1) + 1;
}

std::filesystem::path ResolveStatePath(const Rig& rig) {
    if (!rig.persist) return {};
    if (const char* env = std::getenv("VXPLUS_SIM_STATE"); env && *env) return std::filesystem::path(env);
    if (rig.sourceFile.empty()) return {};
    std::filesystem::path path = rig.sourceFile;
    path += ".state.json";
    return path;
}

// Equal but for GPUs with nothing written (reads and refused writes leave such entries).
bool SameState(const PersistedState& a, const PersistedState& b) {
    if (a.drsBaseProfile != b.drsBaseProfile) return false;
    const auto written = [](const PersistedState& state) {
        std::map<std::size_t, const PersistedGpuState*> gpus;
        for (const auto& [index, gpu] : state.gpus)
            if (!gpu.empty()) gpus[index] = &gpu;
        return gpus;
    };
    const auto left = written(a);
    const auto right = written(b);
    return std::equal(left.begin(), left.end(), right.begin(), right.end(),
                      [](const auto& x, const auto& y) { return x.first == y.first && *x.second == *y.second; });
}

// What a restored GPU's live model runs with: the restored fan level, clock offsets (VF
// points where they were written, else P-state 0) and power target.
ModelInputs RestoredInputs(const GpuModel& gpu, const PersistedGpuState& state) {
    ModelInputs inputs;
    const std::size_t fan = ModelCoolerIndex(gpu.cooler);
    if (state.coolers.count(static_cast<uint32_t>(fan)) && gpu.cooler.units[fan].policy == kCoolerPolicyManual)
        inputs.fanPercent = gpu.cooler.units[fan].level;
    if (!state.vfOffsets.empty()) {
        inputs.graphicsOffsetKhz = VfDomainOffsetKhz(gpu.vf, nvapi::kClockDomainGraphics);
        inputs.memoryOffsetKhz = VfDomainOffsetKhz(gpu.vf, nvapi::kClockDomainMemory);
    } else if (!state.clockDeltas.empty()) {
        std::tie(inputs.graphicsOffsetKhz, inputs.memoryOffsetKhz) = Pstate0DeltasKhz(gpu.clocks);
    }
    if (auto limit = state.power.powerLimits.find(nvapi::kPowerPolicyTotalGpu); limit != state.power.powerLimits.end())
        inputs.powerLimitMilliPercent = limit->second;
    return inputs;
}

void* QueryEntry(uint32_t id) {
    ActiveSimulatorLock active;
    Simulator::Impl* sim = active.get();
    if (!sim) return nullptr;
    std::lock_guard lock(sim->mutex);
    if (sim->removedEntries.count(id)) return nullptr;
    return EntryAddress(id);
}

}  // namespace

ActiveSimulatorLock::ActiveSimulatorLock() : lock_(gRegistryMutex) {
    if (gActive) impl_ = &SimulatorAccess::Of(*gActive);
}

void Simulator::Impl::Log(CallRecord record) {
    if (callCapacity == 0) return;
    while (calls.size() >= callCapacity) calls.pop_front();
    calls.push_back(std::move(record));
}

bool Simulator::Impl::Persist(bool always) const {
    if (statePath.empty()) return false;
    if (!always && saved && SameState(*saved, written)) return true;
    std::string problem;
    if (SaveStateFile(statePath, written, rig, problem)) {
        saved = written;
        return true;
    }
    std::fprintf(stderr, "Simulated driver: cannot save its state to %s: %s\n", statePath.string().c_str(),
                 problem.c_str());
    return false;
}

Simulator::Simulator(Rig rig) : impl_(std::make_unique<Impl>(std::move(rig))) {
    impl_->instance = NextInstance();
    impl_->statePath = ResolveStatePath(impl_->rig);
    if (impl_->statePath.empty()) return;
    StateLoadResult loaded = LoadStateFile(impl_->statePath, impl_->rig);
    if (loaded.state) {
        ApplyState(*loaded.state, impl_->rig);
        impl_->written = std::move(*loaded.state);
        impl_->saved = impl_->written;
        impl_->drs.saved = impl_->written.drsBaseProfile;
        for (const auto& [index, gpu] : impl_->written.gpus)
            impl_->thermal.Seed(index, RestoredInputs(impl_->rig.gpus[index], gpu));
    } else if (!loaded.problem.empty()) {
        std::fprintf(stderr, "Simulated driver: ignoring the state file %s: %s\n",
                     impl_->statePath.string().c_str(), loaded.problem.c_str());
    }
}

Simulator::~Simulator() {
    std::unique_lock lock(gRegistryMutex);
    if (gActive == this) gActive = nullptr;
}

void Simulator::Activate() {
    std::unique_lock lock(gRegistryMutex);
    gActive = this;
}

Simulator* Simulator::Active() {
    std::shared_lock lock(gRegistryMutex);
    return gActive;
}

nvapi::QueryInterfaceFn Simulator::QueryInterface() { return &QueryEntry; }

void Simulator::RemoveEntry(uint32_t id) {
    std::lock_guard lock(impl_->mutex);
    impl_->removedEntries.insert(id);
}

void Simulator::ForceStatus(uint32_t id, int32_t status) {
    std::lock_guard lock(impl_->mutex);
    impl_->forcedStatus[id] = status;
}

void Simulator::ClearFault(uint32_t id) {
    std::lock_guard lock(impl_->mutex);
    impl_->removedEntries.erase(id);
    impl_->forcedStatus.erase(id);
    impl_->refusedVersions.erase(id);
}

void Simulator::RefuseVersion(uint32_t id, uint32_t versionWord) {
    std::lock_guard lock(impl_->mutex);
    impl_->refusedVersions[id].insert(versionWord);
}

void Simulator::MakeHandlesStale(int32_t status) {
    std::lock_guard lock(impl_->mutex);
    impl_->staleStatus = status;
    impl_->generation = (impl_->generation + 1) & 0xFFFF;
}

std::vector<CallRecord> Simulator::Calls() const {
    std::lock_guard lock(impl_->mutex);
    return {impl_->calls.begin(), impl_->calls.end()};
}

std::vector<CallRecord> Simulator::CallsTo(uint32_t id) const {
    std::lock_guard lock(impl_->mutex);
    std::vector<CallRecord> matching;
    std::copy_if(impl_->calls.begin(), impl_->calls.end(), std::back_inserter(matching),
                 [id](const CallRecord& r) { return r.entryId == id; });
    return matching;
}

void Simulator::ClearCalls() {
    std::lock_guard lock(impl_->mutex);
    impl_->calls.clear();
}

void Simulator::SetCallLogCapacity(std::size_t records) {
    std::lock_guard lock(impl_->mutex);
    impl_->callCapacity = records;
    while (impl_->calls.size() > records) impl_->calls.pop_front();
}

Rig& Simulator::rig() { return impl_->rig; }

std::mutex& Simulator::mutex() const { return impl_->mutex; }

bool Simulator::IsInitialized() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->initialized;
}

bool Simulator::SaveState() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->Persist(true);
}

std::filesystem::path Simulator::StatePath() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->statePath;
}

void Simulator::SetClock(ui::IClock& clock) {
    std::lock_guard lock(impl_->mutex);
    impl_->thermal.SetClock(clock);
}

// ---- The frame of one entry call ----

EntryCall::EntryCall(Simulator::Impl& sim, uint32_t id) : sim_(sim) { record_.entryId = id; }

std::optional<int32_t> EntryCall::Precheck() const {
    if (sim_.removedEntries.count(record_.entryId)) return nvapi::NO_IMPLEMENTATION;
    if (auto forced = sim_.forcedStatus.find(record_.entryId); forced != sim_.forcedStatus.end())
        return forced->second;
    if (!sim_.initialized && record_.entryId != nvapi::Initialize) return nvapi::API_NOT_INITIALIZED;
    return std::nullopt;
}

int32_t EntryCall::UseGpu(nvapi::PhysicalGpuHandle handle) {
    handles::Decoded h = handles::Decode(handle);
    if (h.tag != handles::kGpuTag || h.instance != (sim_.instance & 0xFFFF) || h.index >= sim_.rig.gpus.size())
        return nvapi::INVALID_HANDLE;
    gpuIndex_ = h.index;
    record_.gpu = static_cast<int>(h.index);
    if (h.generation != sim_.generation) return sim_.staleStatus;
    return nvapi::OK;
}

int32_t EntryCall::UseDisplay(nvapi::DisplayHandle display) {
    handles::Decoded h = handles::Decode(display);
    if (h.tag != handles::kDisplayTag || h.instance != (sim_.instance & 0xFFFF) || h.index >= sim_.rig.gpus.size())
        return nvapi::INVALID_HANDLE;
    gpuIndex_ = h.index;
    record_.gpu = static_cast<int>(h.index);
    return nvapi::OK;
}

int32_t EntryCall::CheckVersion(uint32_t word, uint32_t expected) {
    Arg(word);
    if (word != expected) return nvapi::INCOMPATIBLE_STRUCT_VERSION;
    auto refused = sim_.refusedVersions.find(record_.entryId);
    if (refused != sim_.refusedVersions.end() && refused->second.count(word))
        return nvapi::INCOMPATIBLE_STRUCT_VERSION;
    return nvapi::OK;
}

nvapi::PhysicalGpuHandle EntryCall::HandleOf(std::size_t index) const {
    return static_cast<nvapi::PhysicalGpuHandle>(
        handles::Encode(handles::kGpuTag, sim_.instance, sim_.generation, static_cast<uint32_t>(index)));
}

nvapi::DisplayHandle EntryCall::DisplayHandleOf(std::size_t index) const {
    return static_cast<nvapi::DisplayHandle>(
        handles::Encode(handles::kDisplayTag, sim_.instance, 0, static_cast<uint32_t>(index)));
}

CallRecord EntryCall::TakeRecord(int32_t status) {
    record_.status = status;
    return std::move(record_);
}

void CopyDriverString(const std::string& text, char* out) {
    std::memset(out, 0, nvapi::kShortStringSize);
    std::memcpy(out, text.data(), std::min(text.size(), kMaxDriverString));
}

}  // namespace vx::sim
