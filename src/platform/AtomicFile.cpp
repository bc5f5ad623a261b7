#include "platform/AtomicFile.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <random>

#include "platform/FileSync.h"

namespace vx::platform {
namespace fs = std::filesystem;
namespace {

// A name no other writer picks: hidden, in the same folder so the rename stays atomic.
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

bool WriteFileAtomically(const fs::path& path, std::string_view bytes) {
    if (!path.has_filename()) return false;
    const fs::path temp = TemporaryNameFor(path);
    if (!WriteNewFileDurably(temp, bytes)) return false;

    std::error_code ec;
    const fs::file_status old = fs::status(path, ec);
    if (!ec && fs::is_regular_file(old)) fs::permissions(temp, old.permissions(), ec);

    fs::rename(temp, path, ec);
    if (ec) {
        fs::remove(temp, ec);
        return false;
    }
    SyncDirectory(path.parent_path());
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
