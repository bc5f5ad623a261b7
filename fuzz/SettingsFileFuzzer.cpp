// The hardware settings file applied to the simulated demo rig, as start-up restores it.
#include "FuzzInput.h"
#include "tuning/UserSettingsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace vx;
    const std::filesystem::path file = fuzz::WriteInput(tuning::kUserSettingsFileName, data, size);
    // A fresh rig each time, so an input's effect does not depend on the inputs before it.
    fuzz::SimulatedRig rig(sim::DemoRig());
    tuning::LastLoadedRecord last{};
    tuning::UserSettingsFile settings(rig.gpu, rig.clock, file.parent_path(), last);
    settings.LoadUserSettings(file);
    return 0;
}
