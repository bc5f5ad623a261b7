#pragma once
// Files the user owns are replaced whole or not at all.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vx::platform {

/// Writes `bytes` to a new file in the same folder as `path`, flushes it to the disk and
/// renames it over `path`. On any failure `path` keeps its old content (or stays absent)
/// and the temporary file is removed. An existing file's permissions are kept.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);

/// The whole file, or nothing when it cannot be read or is larger than `maxBytes`.
std::optional<std::string> ReadFileLimited(const std::filesystem::path& path, std::size_t maxBytes);

}  // namespace vx::platform
