#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

namespace vx::platform {

namespace {

class PosixDynamicLibrary final : public DynamicLibrary {
public:
    explicit PosixDynamicLibrary(void* handle) : handle_(handle) {}
    ~PosixDynamicLibrary() override { dlclose(handle_); }
    PosixDynamicLibrary(const PosixDynamicLibrary&) = delete;
    PosixDynamicLibrary& operator=(const PosixDynamicLibrary&) = delete;

    void* Symbol(const std::string& name) const override { return dlsym(handle_, name.c_str()); }

private:
    void* handle_;
};

}  // namespace

std::unique_ptr<DynamicLibrary> DynamicLibrary::Open(const std::filesystem::path& path) {
    if (path.empty()) return nullptr;
    // dlopen searches the library path for a bare name; a slash makes it take the path as is.
    std::string exact = path.string();
    if (!path.has_parent_path()) exact = "./" + exact;
    void* handle = dlopen(exact.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return nullptr;
    return std::make_unique<PosixDynamicLibrary>(handle);
}

}  // namespace vx::platform
