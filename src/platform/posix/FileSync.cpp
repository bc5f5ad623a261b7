#include "platform/FileSync.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace vx::platform {
namespace {

// Closes the descriptor on every path out.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    bool Close() {
        if (fd_ < 0) return false;
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool WriteAll(int fd, std::string_view bytes) {
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

namespace {

bool WriteNew(const std::filesystem::path& path, std::string_view bytes, bool flush) {
    Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.get() < 0) return false;
    // close() can report a deferred write error (network file systems).
    if (WriteAll(fd.get(), bytes) && (!flush || ::fsync(fd.get()) == 0) && fd.Close()) return true;
    fd.Close();
    ::unlink(path.c_str());
    return false;
}

}  // namespace

bool WriteNewFileDurably(const std::filesystem::path& path, std::string_view bytes) {
    return WriteNew(path, bytes, true);
}

bool WriteNewFile(const std::filesystem::path& path, std::string_view bytes) { return WriteNew(path, bytes, false); }

bool SyncDirectory(const std::filesystem::path& folder) {
    Fd fd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0) return false;
    return ::fsync(fd.get()) == 0;
}

}  // namespace vx::platform
