// A rig file read and started as the simulated driver, up to the enumerated GPUs' readings.
#include "FuzzInput.h"
#include "app/GpuSummary.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace vx;
    sim::RigLoadResult loaded = sim::LoadRigFile(fuzz::WriteInput("rig.json", data, size));
    if (!loaded.rig) return 0;
    loaded.rig->persist = false;  // the state file has a harness of its own
    fuzz::SimulatedRig rig(std::move(*loaded.rig));
    if (rig.status == 0) (void)app::Summarize(rig.gpu);
    return 0;
}
