// The simulator's state file checked against the demo rig; whatever it accepts must be
// applied, saved and read back unchanged.
#include <cstdlib>
#include <map>

#include "FuzzInput.h"
#include "sim/StateFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace vx;
    static const sim::Rig demo = sim::DemoRig();
    const sim::StateLoadResult loaded = sim::LoadStateFile(fuzz::WriteInput("rig.state.json", data, size), demo);
    if (!loaded.state) return 0;
    sim::Rig rig = demo;
    sim::ApplyState(*loaded.state, rig);
    const std::filesystem::path saved = fuzz::Folder() / "saved.state.json";
    std::string problem;
    if (!sim::SaveStateFile(saved, *loaded.state, rig, problem)) std::abort();
    const sim::StateLoadResult again = sim::LoadStateFile(saved, rig);
    // GPUs with nothing written are not saved.
    sim::PersistedState written = *loaded.state;
    std::erase_if(written.gpus, [](const auto& gpu) { return gpu.second.empty(); });
    if (!again.state || !(*again.state == written)) std::abort();
    return 0;
}
