#pragma once
// A loaded shared library; unloaded when the object goes.
#include <filesystem>
#include <memory>
#include <string>

namespace vx::platform {

class DynamicLibrary {
public:
    virtual ~DynamicLibrary() = default;
    /// The address of an exported symbol, or null.
    virtual void* Symbol(const std::string& name) const = 0;

    /// Loads exactly `path` (no search path); null when it cannot be loaded.
    static std::unique_ptr<DynamicLibrary> Open(const std::filesystem::path& path);
};

}  // namespace vx::platform
