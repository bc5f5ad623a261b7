#include "platform/AppPaths.h"

#include <time.h>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "platform/AtomicFile.h"

namespace vx::platform {
namespace fs = std::filesystem;
namespace {

constexpr const char* kFolderName = "veltrix-plus";

// Unset, empty and relative values count as absent: relative ones would move with the
// working directory, which start-up changes.
std::optional<fs::path> AbsoluteEnv(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value) return std::nullopt;
    fs::path path(value);
    if (!path.is_absolute()) return std::nullopt;
    return path;
}

fs::path HomeDir() {
    if (auto home = AbsoluteEnv("HOME")) return *home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && found->pw_dir[0] == '/')
        return found->pw_dir;
    return fs::temp_directory_path();
}

fs::path ExecutablePath() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : exe;
}

fs::path TemplatesDir() {
    std::error_code ec;
    const fs::path installed(VX_INSTALL_DATADIR);
    if (fs::is_directory(installed, ec)) return installed;
    return fs::path(VX_SOURCE_ASSETS);
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Copies `from` to `to` unless `to` exists. The copy is complete before it appears under its
// name, and appears without replacing a file the user made meanwhile.
bool CopyIfMissing(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(to, ec))) return true;
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    std::string hidden = ".";
    hidden += to.filename().string();
    hidden += ".XXXXXX";
    std::string tempName = (to.parent_path() / hidden).string();
    const int out = ::mkstemp(tempName.data());
    if (out < 0) {
        ::close(in);
        return false;
    }
    bool ok = true;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        if (!WriteAll(out, buffer, static_cast<size_t>(n))) {
            ok = false;
            break;
        }
    }
    struct stat st {};
    if (ok && ::fstat(in, &st) == 0) ::fchmod(out, st.st_mode & 0777);
    ok = ok && ::fsync(out) == 0;
    ::close(in);
    ok = ::close(out) == 0 && ok;
    if (ok) {
        // link() refuses an existing name, so a file that turned up meanwhile is kept.
        if (::link(tempName.c_str(), to.c_str()) != 0 && errno != EEXIST) {
            // Some file systems have no hard links.
            ok = !fs::exists(fs::symlink_status(to, ec)) &&
                 ::rename(tempName.c_str(), to.c_str()) == 0;
        }
    }
    ::unlink(tempName.c_str());
    return ok;
}

// Read-only program data, read where it is installed: a copy per user would only take space
// and make the first start wait for the disk.
constexpr const char* kReadInPlace[] = {"skin", "fonts"};

bool IsReadInPlace(const fs::path& relative) {
    const fs::path top = *relative.begin();
    return std::any_of(std::begin(kReadInPlace), std::end(kReadInPlace),
                       [&top](const char* name) { return top == name; });
}

bool IsWithin(const fs::path& path, const fs::path& folder) {
    return std::mismatch(folder.begin(), folder.end(), path.begin(), path.end()).first ==
           folder.end();
}

// Copies every template file the data folder lacks. A template that cannot be copied shows
// up later as the missing file it is (a font that cannot be added, a rig that cannot be
// read), so start-up goes on without it.
void CopyTemplates(const fs::path& templates, const fs::path& dataDir) {
    std::error_code ec;
    if (templates.empty() || !fs::is_directory(templates, ec)) return;
    const fs::path dataCanonical = fs::weakly_canonical(dataDir, ec);
    // Listed first: the data folder may lie inside the templates (a run from the source tree).
    std::vector<fs::directory_entry> entries;
    for (auto it = fs::recursive_directory_iterator(templates, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code entryEc;
        if (!dataCanonical.empty() && it->is_directory(entryEc) &&
            IsWithin(fs::weakly_canonical(it->path(), entryEc), dataCanonical)) {
            it.disable_recursion_pending();
            continue;
        }
        entries.push_back(*it);
    }
    for (const fs::directory_entry& entry : entries) {
        const fs::path relative = entry.path().lexically_relative(templates);
        if (relative.empty() || IsReadInPlace(relative)) continue;
        const fs::path target = dataDir / relative;
        std::error_code entryEc;
        if (entry.is_directory(entryEc))
            fs::create_directories(target, entryEc);
        else if (entry.is_regular_file(entryEc))
            CopyIfMissing(entry.path(), target);
    }
}

// The start of this process on the file clock: /proc gives it in clock ticks since boot, on
// the clock CLOCK_BOOTTIME reads. Nothing when it cannot be read.
std::optional<fs::file_time_type> ProcessStartTime() {
    std::ifstream in("/proc/self/stat");
    std::string stat;
    std::getline(in, stat);
    // The command name in parentheses may hold blanks; field 22 counts from the state after it.
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    int number = 3;
    while (number < 22 && fields >> field) ++number;
    unsigned long long ticks = 0;
    timespec now{};
    const long hz = ::sysconf(_SC_CLK_TCK);
    if (!(fields >> ticks) || hz <= 0 || ::clock_gettime(CLOCK_BOOTTIME, &now) != 0) return std::nullopt;
    using std::chrono::nanoseconds;
    const auto sinceBoot = std::chrono::seconds(now.tv_sec) + nanoseconds(now.tv_nsec);
    const auto started = nanoseconds(static_cast<long long>(ticks * (1000000000ULL / static_cast<unsigned long long>(hz))));
    if (started > sinceBoot) return std::nullopt;
    return fs::file_time_type::clock::now() - std::chrono::duration_cast<fs::file_time_type::duration>(sinceBoot - started);
}

}  // namespace

AppPaths ResolveAppPaths(const std::optional<fs::path>& dataDirOption) {
    AppPaths paths;
    paths.executable = ExecutablePath();

    if (dataDirOption && !dataDirOption->empty()) {
        std::error_code ec;
        paths.dataDir = fs::absolute(*dataDirOption, ec);
        if (ec) paths.dataDir = *dataDirOption;
    } else if (auto home = AbsoluteEnv("VXPLUS_HOME")) {
        paths.dataDir = *home;
    } else if (auto data = AbsoluteEnv("XDG_DATA_HOME")) {
        paths.dataDir = *data / kFolderName;
    } else {
        paths.dataDir = HomeDir() / ".local" / "share" / kFolderName;
    }

    if (auto config = AbsoluteEnv("XDG_CONFIG_HOME"))
        paths.configDir = *config;
    else
        paths.configDir = HomeDir() / ".config";

    if (auto runtime = AbsoluteEnv("XDG_RUNTIME_DIR"))
        paths.runtimeDir = *runtime;
    else
        paths.runtimeDir =
            fs::path("/tmp") / (std::string(kFolderName) + "-" + std::to_string(::getuid()));

    if (auto cache = AbsoluteEnv("XDG_CACHE_HOME"))
        paths.cacheDir = *cache / kFolderName;
    else
        paths.cacheDir = HomeDir() / ".cache" / kFolderName;

    paths.templatesDir = TemplatesDir();
    return paths;
}

bool PrepareDataDir(const AppPaths& paths) {
    if (paths.dataDir.empty()) return false;
    std::error_code ec;
    fs::create_directories(paths.dataDir, ec);
    if (ec || !fs::is_directory(paths.dataDir, ec)) return false;
    fs::create_directories(paths.dataDir / "Profile", ec);
    CopyTemplates(paths.templatesDir, paths.dataDir);
    return ::chdir(paths.dataDir.c_str()) == 0;
}

void RemoveInterruptedWrites(const AppPaths& paths) {
    const std::optional<fs::file_time_type> started = ProcessStartTime();
    if (!started) return;
    if (!paths.dataDir.empty()) {
        RemoveStaleTemporaryFiles(paths.dataDir, *started);
        RemoveStaleTemporaryFiles(paths.dataDir / "Profile", *started);
    }
    if (!paths.configDir.empty()) {
        RemoveStaleTemporaryFiles(paths.configDir / "veltrix-plus", *started);
        // A shared folder: only our own entry's leftovers.
        RemoveStaleTemporaryFiles(paths.configDir / "autostart", *started, "veltrix-plus.desktop");
    }
}

}  // namespace vx::platform
