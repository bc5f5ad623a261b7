// libnvapi-sim.so: the simulated driver as a library with the real driver's one export.
#include "sim/Rig.h"
#include "sim/Simulator.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>

#if defined(_WIN32)
#define VX_SIM_EXPORT __declspec(dllexport)
#else
#define VX_SIM_EXPORT __attribute__((visibility("default")))
#endif

namespace {

std::unique_ptr<vx::sim::Simulator>& Instance() {
    static std::unique_ptr<vx::sim::Simulator> instance;
    return instance;
}

// The rig named by VXPLUS_SIM_RIG, else the demo rig. A rig file that cannot be used leaves
// the library without entries, so the program reports an unusable driver instead of
// quietly running on another machine than the one asked for.
void Start() {
    vx::sim::Rig rig;
    const char* path = std::getenv("VXPLUS_SIM_RIG");
    if (path && *path) {
        vx::sim::RigLoadResult loaded = vx::sim::LoadRigFile(path);
        if (!loaded.rig) {
            std::fprintf(stderr, "Simulated driver: %s\n", loaded.error ? loaded.error->message.c_str() : path);
            return;
        }
        rig = std::move(*loaded.rig);
    } else {
        rig = vx::sim::DemoRig();
    }
    Instance() = std::make_unique<vx::sim::Simulator>(std::move(rig));
    Instance()->Activate();
}

}  // namespace

extern "C" VX_SIM_EXPORT void* nvapi_QueryInterface(unsigned int id) {
    static std::once_flag started;
    std::call_once(started, Start);
    if (!Instance()) return nullptr;
    return vx::sim::Simulator::QueryInterface()(id);
}
