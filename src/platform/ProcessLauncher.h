#pragma once
// Starts a program of ours and ends it again, never touching processes it did not start.
#include <cstdint>
#include <filesystem>
#include <memory>

namespace vx::platform {

class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    /// Starts `program` in its own folder; false when it cannot be started.
    virtual bool Start(const std::filesystem::path& program) = 0;
    /// Whether the program this launcher started last still runs.
    virtual bool Running() = 0;
    /// Ends the program this launcher started, when it still runs; true when one was ended.
    virtual bool Terminate() = 0;

    static std::unique_ptr<ProcessLauncher> Make();
};

}  // namespace vx::platform
