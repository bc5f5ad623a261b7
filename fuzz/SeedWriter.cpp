// Writes the seed files as the program itself writes them, over the simulated demo rig:
// the settings file, the simulator's state file and the settings store's file.
//   SeedWriter <folder>
#include <cstdio>

#include "FuzzInput.h"
#include "app/AppSettings.h"
#include "platform/posix/IniSettingsStore.h"
#include "tuning/UserSettingsFile.h"

int main(int argc, char** argv) {
    using namespace vx;
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path out = argv[1];
    sim::Rig demo = sim::DemoRig();
    demo.persist = true;
    demo.sourceFile = out / "demo";  // the state goes to demo.state.json
    fuzz::SimulatedRig rig(std::move(demo));
    tuning::LastLoadedRecord last{};
    tuning::UserSettingsFile settings(rig.gpu, rig.clock, out, last);
    // Loading what was saved writes every value back through the driver, so the state has them all.
    const bool ok = settings.SaveUserSettings() == 1 && settings.LoadUserSettings() == 1 && rig.simulator.SaveState();
    platform::IniSettingsStore store(out / "registry.ini");
    app::AppSettings().Load(store);
    return ok ? 0 : 1;
}
