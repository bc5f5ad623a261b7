#pragma once
// Opening a file with the desktop's default application for its type.
#include <filesystem>

namespace vx::platform {

class FileOpener {
public:
    virtual ~FileOpener() = default;
    /// Starts the default application on `path` without waiting for it; false when it could
    /// not be started. The path is passed as one argument, never through a shell.
    virtual bool OpenWithDefaultApplication(const std::filesystem::path& path) = 0;
};

}  // namespace vx::platform
