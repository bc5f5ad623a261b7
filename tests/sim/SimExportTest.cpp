// libnvapi-sim.so offers the driver's one export and serves the rig named in the environment.
#include "sim/Simulator.h"

#include "SimTestSupport.h"
#include "gpu/DriverStructs.h"
#include "gpu/NvApiIds.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <filesystem>
#include <memory>

namespace vx::sim {
namespace {

using namespace vx::nvapi;

struct LibraryCloser {
    void operator()(void* library) const { dlclose(library); }
};

TEST(SimExport, LibraryExportsQueryInterfaceServingTheChosenRig) {
    test::ScopedEnv rig("VXPLUS_SIM_RIG", std::string(VX_TEST_ASSETS) + "/rigs/legacy.json");
    test::ScopedEnv state("VXPLUS_SIM_STATE", std::nullopt);
    // A private copy: another test may have loaded the library already, with another rig.
    test::ScratchDir dir;
    std::filesystem::path copy = dir / "libnvapi-sim-copy.so";
    std::filesystem::copy_file(VX_SIM_LIBRARY, copy);
    std::unique_ptr<void, LibraryCloser> library(dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL));
    ASSERT_TRUE(library) << dlerror();
    auto query = reinterpret_cast<QueryInterfaceFn>(dlsym(library.get(), "nvapi_QueryInterface"));
    ASSERT_NE(query, nullptr);

    EXPECT_EQ(query(0xDEADBEEF), nullptr);
    auto initialize = reinterpret_cast<InitializeFn>(query(Initialize));
    auto enumerate = reinterpret_cast<EnumPhysicalGPUsFn>(query(EnumPhysicalGPUs));
    auto fullName = reinterpret_cast<GetFullNameFn>(query(GPU_GetFullName));
    ASSERT_TRUE(initialize && enumerate && fullName);

    PhysicalGpuHandle handles[kMaxPhysicalGpus];
    uint32_t count = 0;
    EXPECT_EQ(enumerate(handles, &count), API_NOT_INITIALIZED);
    ASSERT_EQ(initialize(), OK);
    ASSERT_EQ(enumerate(handles, &count), OK);
    ASSERT_EQ(count, 2u);
    char name[kShortStringSize];
    ASSERT_EQ(fullName(handles[1], name), OK);
    EXPECT_STREQ(name, "GeForce GT 220");

    // The library keeps its own simulator; this process's active one is not touched.
    EXPECT_EQ(Simulator::Active(), nullptr);
}

}  // namespace
}  // namespace vx::sim
