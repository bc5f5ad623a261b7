#pragma once
// Files the user owns are replaced whole or not at all.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vx::platform {

/// Files the user owns are flushed to the disk before the rename; a file that lives only as long
/// as the run (a feed other programs read) only has to be replaced whole.
enum class Durability { kFlushed, kReplaceOnly };

/// Writes `bytes` to a new file in the same folder as `path`, flushes it to the disk (unless
/// `kReplaceOnly`) and renames it over `path`. On any failure `path` keeps its old content (or
/// stays absent) and the temporary file is removed. An existing file's permissions are kept.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         Durability durability = Durability::kFlushed);

/// Whether `name` is one of the temporary names WriteFileAtomically gives its files:
/// ".<target name>.tmp-<16 hex digits>-<counter>".
bool IsTemporaryFileName(std::string_view name);

/// Removes what writes stopped before their rename left behind: files in `folder` (not
/// below) with a temporary name, for any target or only for `target` when given, last
/// written before `olderThan`. Returns how many were removed.
std::size_t RemoveStaleTemporaryFiles(const std::filesystem::path& folder, std::filesystem::file_time_type olderThan,
                                      std::string_view target = {});

/// The whole file, or nothing when it cannot be read or is larger than `maxBytes`.
std::optional<std::string> ReadFileLimited(const std::filesystem::path& path, std::size_t maxBytes);

}  // namespace vx::platform
