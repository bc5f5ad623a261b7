#pragma once
// Makes writes past a file size fail (as on a full disk) for the life of the object.
#include <sys/resource.h>

#include <csignal>
#include <cstddef>

namespace vx::test {

class FileSizeLimit {
public:
    explicit FileSizeLimit(std::size_t maxBytes) {
        // Without this the kernel ends the process instead of failing the write.
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limit = old_;
        limit.rlim_cur = maxBytes;
        active_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    bool active() const { return active_; }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
    bool active_ = false;
};

}  // namespace vx::test
