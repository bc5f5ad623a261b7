#include "platform/LogFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace vx::platform {
namespace {

constexpr mode_t kFileMode = 0644;

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

bool WriteAll(int fd, std::string_view bytes) {
    ssize_t written = -1;
    do {
        written = ::write(fd, bytes.data(), bytes.size());
    } while (written < 0 && errno == EINTR);
    return written == static_cast<ssize_t>(bytes.size());
}

}  // namespace

NewFileResult CreateNewFile(const std::filesystem::path& path, std::string_view bytes) {
    Descriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kFileMode));
    if (file.get() < 0) return errno == EEXIST ? NewFileResult::Exists : NewFileResult::Failed;
    return WriteAll(file.get(), bytes) ? NewFileResult::Created : NewFileResult::Failed;
}

bool AppendToFile(const std::filesystem::path& path, std::string_view bytes) {
    Descriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, kFileMode));
    return file.get() >= 0 && WriteAll(file.get(), bytes);
}

}  // namespace vx::platform
