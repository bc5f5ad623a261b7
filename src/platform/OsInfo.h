#pragma once
// Facts about the operating system that the driver layer asks for.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace vx::platform {

/// Whether this operating system can run the program at all.
bool IsOsSupported();

/// Whether the operating system is 64-bit, whatever this process was built for.
bool Is64BitOs();

/// The folders the system's own shared libraries live in, most specific first.
std::vector<std::filesystem::path> SystemLibraryFolders();

/// A Windows version number (6.1 is Windows 7).
struct WindowsVersion {
    uint32_t major = 0;
    uint32_t minor = 0;
};

/// The Windows version; empty on any other system or when the query fails. Never a kernel
/// version: Linux 6.1 is not Windows 7.
std::optional<WindowsVersion> QueryWindowsVersion();

/// The user's profile folder and the Windows folder; empty where the system has none.
std::filesystem::path UserProfileFolder();
std::filesystem::path WindowsFolder();

/// The user id that owns `path` itself (a final symlink is not followed); empty when it
/// cannot be examined.
std::optional<uint32_t> FileOwnerId(const std::filesystem::path& path);

}  // namespace vx::platform
