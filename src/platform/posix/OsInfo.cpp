#include "platform/OsInfo.h"

#include <cstring>
#include <sys/stat.h>
#include <sys/utsname.h>

namespace vx::platform {

namespace {

// The multiarch folder name of the target the compiler builds for.
const char* MultiarchTriplet() {
#if defined(__x86_64__) && defined(__ILP32__)
    return "x86_64-linux-gnux32";
#elif defined(__x86_64__)
    return "x86_64-linux-gnu";
#elif defined(__aarch64__)
    return "aarch64-linux-gnu";
#elif defined(__i386__)
    return "i386-linux-gnu";
#elif defined(__arm__) && defined(__ARM_PCS_VFP)
    return "arm-linux-gnueabihf";
#elif defined(__powerpc64__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    return "powerpc64le-linux-gnu";
#elif defined(__riscv) && __riscv_xlen == 64
    return "riscv64-linux-gnu";
#else
    return nullptr;
#endif
}

}  // namespace

bool IsOsSupported() {
    return true;
}

std::optional<WindowsVersion> QueryWindowsVersion() { return std::nullopt; }

std::filesystem::path UserProfileFolder() { return {}; }

std::filesystem::path WindowsFolder() { return {}; }

bool Is64BitOs() {
    if (sizeof(void*) == 8) return true;
    // A 32-bit build may still run on a 64-bit kernel.
    utsname info{};
    if (uname(&info) != 0) return false;
    return std::strstr(info.machine, "64") != nullptr || std::strcmp(info.machine, "s390x") == 0;
}

std::vector<std::filesystem::path> SystemLibraryFolders() {
    std::vector<std::filesystem::path> folders;
    const char* triplet = MultiarchTriplet();
    if (triplet) folders.push_back(std::filesystem::path("/usr/lib") / triplet);
    folders.emplace_back("/usr/lib64");
    folders.emplace_back("/usr/lib");
    if (triplet) folders.push_back(std::filesystem::path("/lib") / triplet);
    folders.emplace_back("/lib64");
    folders.emplace_back("/lib");
    return folders;
}

std::optional<uint32_t> FileOwnerId(const std::filesystem::path& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) return std::nullopt;
    return static_cast<uint32_t>(info.st_uid);
}

}  // namespace vx::platform
