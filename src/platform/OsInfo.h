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

/// The user id that owns `path` itself (a final symlink is not followed); empty when it
/// cannot be examined.
std::optional<uint32_t> FileOwnerId(const std::filesystem::path& path);

}  // namespace vx::platform
