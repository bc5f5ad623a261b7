#pragma once
// Files that grow by whole records (the monitor log): created once without ever replacing an
// existing file, then appended to with one write per record.
#include <filesystem>
#include <string_view>

namespace vx::platform {

enum class NewFileResult { Created, Exists, Failed };

/// Creates `path` with `bytes` as its content; an existing file is left untouched (Exists).
NewFileResult CreateNewFile(const std::filesystem::path& path, std::string_view bytes);

/// Appends `bytes` with a single write at the end of `path` (created when missing), so a
/// crash never leaves part of a record behind more than the system's own append would. False
/// when the file cannot be opened or the write fell short.
bool AppendToFile(const std::filesystem::path& path, std::string_view bytes);

}  // namespace vx::platform
