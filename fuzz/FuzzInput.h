#pragma once
// The readers under test take file names: each input is written to a file in a folder of
// this process, removed when the process ends.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "gpu/DriverBinding.h"
#include "gpu/GpuAccess.h"
#include "sim/Simulator.h"
#include "support/FakeClock.h"

namespace vx::fuzz {

class InputFolder {
public:
    InputFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vx-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data())) path_ = pattern;
    }
    InputFolder(const InputFolder&) = delete;
    InputFolder& operator=(const InputFolder&) = delete;
    ~InputFolder() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline const std::filesystem::path& Folder() {
    static InputFolder folder;
    return folder.path();
}

inline std::string_view Bytes(const uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

/// Writes the input to `name` in this process's folder and returns its path.
inline std::filesystem::path WriteInput(const char* name, const uint8_t* data, std::size_t size) {
    const std::filesystem::path file = Folder() / name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return file;
}

/// A simulator for `rig`, active, with an initialised GpuAccess over it; waits take no time.
struct SimulatedRig {
    explicit SimulatedRig(sim::Rig rig) : simulator(std::move(rig)), binding(Activated(simulator)), gpu(binding) {
        gpu.SetClock(clock);
        gpu.SetTraceSink([](const std::string&) {});
        gpu.SetDebugSink([](const std::string&) {});
        status = gpu.Initialize();
    }
    static driver::DriverOpener Activated(sim::Simulator& simulator) {
        simulator.Activate();
        return driver::InProcessOpener(sim::Simulator::QueryInterface());
    }

    test::FakeClock clock;
    sim::Simulator simulator;
    driver::DriverBinding binding;
    GpuAccess gpu;
    int32_t status = 0;
};

}  // namespace vx::fuzz
