#pragma once
// The operating system's part of durable file writes.
#include <filesystem>
#include <string_view>

namespace vx::platform {

/// Creates `path` (failing when it exists), writes all of `bytes` and flushes the file to
/// the disk before closing it. False on any failure; a file it created is then removed.
bool WriteNewFileDurably(const std::filesystem::path& path, std::string_view bytes);
/// The same without the flush, for files that need not outlive a crash.
bool WriteNewFile(const std::filesystem::path& path, std::string_view bytes);

/// Flushes a folder's entries (a rename inside it) to the disk; best effort.
bool SyncDirectory(const std::filesystem::path& folder);

}  // namespace vx::platform
