#pragma once
// The release description the maker's server offers, as the update check reads it.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vx::maintenance {

/// This program's release number, compared with the server's.
inline constexpr int32_t kOwnRelease = 33063;

struct VersionInfo {
    int32_t version = 10;            // a file without a version counts as old
    std::string url;                 // at most 99 characters
    std::vector<std::string> notes;  // the list lines of the release notes
};

/// Reads the downloaded file (INI text, UTF-8). A file that is missing, too large or does not
/// parse yields the defaults, and so reads as up to date.
VersionInfo ReadVersionFile(const std::filesystem::path& file);
/// Every "|" starts a line running to the next "|"; text before the first is not shown.
std::vector<std::string> SplitNotes(std::string_view notes);
/// Only web addresses are handed to the browser.
bool IsWebAddress(std::string_view url);

}  // namespace vx::maintenance
