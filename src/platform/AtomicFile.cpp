#include "platform/AtomicFile.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <random>

#include "platform/FileSync.h"

namespace vx::platform {
namespace fs = std::filesystem;
namespace {

constexpr std::string_view kTemporaryMark = ".tmp-";
constexpr std::size_t kRandomDigits = 16;

bool AllDigits(std::string_view text, bool hex) {
    return std::all_of(text.begin(), text.end(), [hex](char c) {
        const auto u = static_cast<unsigned char>(c);
        return hex ? std::isxdigit(u) != 0 : std::isdigit(u) != 0;
    });
}

// A name no other writer picks: hidden, in the same folder so the rename stays atomic.
// IsTemporaryFileName must recognise every name made here.
fs::path TemporaryNameFor(const fs::path& path) {
    static std::atomic<unsigned> counter{0};
    thread_local std::mt19937_64 random{std::random_device{}()};
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".tmp-%016llx-%u",
                  static_cast<unsigned long long>(random()), counter.fetch_add(1));
    std::string name = ".";
    name += path.filename().string();
    name += suffix;
    return path.parent_path() / name;
}

}  // namespace

bool IsTemporaryFileName(std::string_view name) {
    const std::size_t mark = name.rfind(kTemporaryMark);
    if (name.size() < 2 || name[0] != '.' || mark == std::string_view::npos || mark < 2) return false;
    const std::string_view suffix = name.substr(mark + kTemporaryMark.size());
    if (suffix.size() < kRandomDigits + 2 || suffix[kRandomDigits] != '-') return false;
    const std::string_view counter = suffix.substr(kRandomDigits + 1);
    return AllDigits(suffix.substr(0, kRandomDigits), true) && counter.size() <= 10 && AllDigits(counter, false);
}

std::size_t RemoveStaleTemporaryFiles(const fs::path& folder, fs::file_time_type olderThan, std::string_view target) {
    std::size_t removed = 0;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!IsTemporaryFileName(name)) continue;
        if (!target.empty() && std::string_view(name).substr(1, name.rfind(kTemporaryMark) - 1) != target) continue;
        std::error_code entryEc;
        // Only plain files: a link of that name could point anywhere.
        if (!it->is_regular_file(entryEc) || it->is_symlink(entryEc)) continue;
        const fs::file_time_type written = it->last_write_time(entryEc);
        if (entryEc || written >= olderThan) continue;
        if (fs::remove(it->path(), entryEc)) ++removed;
    }
    return removed;
}

bool WriteFileAtomically(const fs::path& path, std::string_view bytes, Durability durability) {
    if (!path.has_filename()) return false;
    const fs::path temp = TemporaryNameFor(path);
    const bool flushed = durability == Durability::kFlushed;
    if (!(flushed ? WriteNewFileDurably(temp, bytes) : WriteNewFile(temp, bytes))) return false;

    std::error_code ec;
    const fs::file_status old = fs::status(path, ec);
    if (!ec && fs::is_regular_file(old)) fs::permissions(temp, old.permissions(), ec);

    fs::rename(temp, path, ec);
    if (ec) {
        fs::remove(temp, ec);
        return false;
    }
    if (flushed) SyncDirectory(path.parent_path());
    return true;
}

std::optional<std::string> ReadFileLimited(const fs::path& path, std::size_t maxBytes) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string content;
    char chunk[8192];
    while (in) {
        in.read(chunk, sizeof chunk);
        const auto got = static_cast<std::size_t>(in.gcount());
        if (content.size() + got > maxBytes) return std::nullopt;
        content.append(chunk, got);
    }
    if (in.bad()) return std::nullopt;
    return content;
}

}  // namespace vx::platform
