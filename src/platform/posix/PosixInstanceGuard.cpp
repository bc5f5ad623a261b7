#include "platform/posix/PosixInstanceGuard.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace vx::platform {
namespace {

constexpr const char* kLockName = "veltrix-plus.lock";
constexpr const char* kSocketName = "veltrix-plus.sock";
// Connections taken per Poll, so a flood cannot hold the interface thread.
constexpr int kAcceptsPerPoll = 16;

// False when the path does not fit a socket address (sun_path is a fixed 108-byte field).
bool MakeAddress(const std::filesystem::path& path, sockaddr_un& address) {
    const std::string text = path.string();
    std::memset(&address, 0, sizeof(address));
    address.sun_family = AF_UNIX;
    if (text.empty() || text.size() >= sizeof(address.sun_path)) return false;
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return true;
}

int RemainingMs(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Waits until `fd` is ready for `events` or the deadline passes.
bool WaitFor(int fd, short events, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, RemainingMs(deadline));
        if (n > 0) return (p.revents & (events | POLLERR | POLLHUP)) != 0;
        if (n == 0) return false;
        if (errno != EINTR) return false;
    }
}

}  // namespace

PosixInstanceGuard::Fd::~Fd() { Reset(); }

PosixInstanceGuard::Fd& PosixInstanceGuard::Fd::operator=(Fd&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
}

int PosixInstanceGuard::Fd::Release() { return std::exchange(fd_, -1); }

void PosixInstanceGuard::Fd::Reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

PosixInstanceGuard::PosixInstanceGuard(std::filesystem::path runtimeDir,
                                       std::chrono::milliseconds sendTimeout)
    : runtimeDir_(std::move(runtimeDir)), sendTimeout_(sendTimeout) {}

PosixInstanceGuard::~PosixInstanceGuard() {
    clients_.clear();
    listener_.Reset();
    // Unlinked while the lock is still held, so no new copy can have bound it meanwhile.
    if (ownsSocket_) ::unlink(SocketPath().c_str());
    lock_.Reset();
}

std::filesystem::path PosixInstanceGuard::LockPath() const { return runtimeDir_ / kLockName; }

std::filesystem::path PosixInstanceGuard::SocketPath() const { return runtimeDir_ / kSocketName; }

int PosixInstanceGuard::ListenFd() const { return listener_.Get(); }

void PosixInstanceGuard::OnRequest(std::function<void(const std::string&)> handler) {
    handler_ = std::move(handler);
}

bool PosixInstanceGuard::PrepareRuntimeDir() const {
    if (runtimeDir_.empty()) return false;
    if (::mkdir(runtimeDir_.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st {};
    if (::stat(runtimeDir_.c_str(), &st) != 0) return false;
    // A folder someone else made (say in /tmp) would let them hold our lock or socket.
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & S_IWOTH) != 0)
        return false;
    return true;
}

PosixInstanceGuard::Result PosixInstanceGuard::Acquire() {
    if (lock_) return Result::Acquired;
    if (!PrepareRuntimeDir()) return Result::Failed;
    Fd lock(::open(LockPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!lock) return Result::Failed;
    for (;;) {
        if (::flock(lock.Get(), LOCK_EX | LOCK_NB) == 0) break;
        if (errno == EINTR) continue;
        return errno == EWOULDBLOCK ? Result::AlreadyRunning : Result::Failed;
    }
    lock_ = std::move(lock);
    // Without a socket later copies cannot reach us, but the lock alone keeps us single.
    Listen();
    return Result::Acquired;
}

void PosixInstanceGuard::Listen() {
    sockaddr_un address{};
    if (!MakeAddress(SocketPath(), address)) return;
    // Only the lock holder gets here, so a socket file left behind belongs to a dead copy.
    ::unlink(address.sun_path);
    Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) return;
    if (::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
        return;
    ownsSocket_ = true;
    if (::listen(fd.Get(), static_cast<int>(kMaxPendingClients)) != 0) return;
    listener_ = std::move(fd);
}

bool PosixInstanceGuard::SendToRunningCopy(const std::string& request) {
    std::string line = request.substr(0, request.find('\n'));
    if (line.size() > kMaxRequestLine - 1) line.resize(kMaxRequestLine - 1);
    line.push_back('\n');

    sockaddr_un address{};
    if (!MakeAddress(SocketPath(), address)) return false;
    Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) return false;
    const auto deadline = std::chrono::steady_clock::now() + sendTimeout_;

    if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        // A full backlog answers EAGAIN at once on local sockets: the copy is not listening.
        if (errno != EINPROGRESS && errno != EINTR) return false;
        if (!WaitFor(fd.Get(), POLLOUT, deadline)) return false;
        int error = 0;
        socklen_t size = sizeof(error);
        if (::getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0)
            return false;
    }

    size_t sent = 0;
    while (sent < line.size()) {
        const ssize_t n = ::send(fd.Get(), line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitFor(fd.Get(), POLLOUT, deadline)) return false;
        } else {
            return false;
        }
    }
    return true;
}

void PosixInstanceGuard::AcceptPending() {
    if (!listener_) return;
    for (int i = 0; i < kAcceptsPerPoll; ++i) {
        Fd fd(::accept4(listener_.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!fd) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return;
        }
#ifdef SO_PEERCRED
        ucred peer{};
        socklen_t size = sizeof(peer);
        if (::getsockopt(fd.Get(), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 ||
            peer.uid != ::geteuid())
            continue;
#endif
        // A connection that never sends must not shut the door on later copies.
        if (clients_.size() >= kMaxPendingClients) clients_.erase(clients_.begin());
        clients_.push_back(Client{std::move(fd), {}});
    }
}

bool PosixInstanceGuard::ServeClient(Client& client, std::vector<std::string>& lines) {
    char buffer[kMaxRequestLine];
    for (;;) {
        const ssize_t n = ::recv(client.fd.Get(), buffer, sizeof(buffer), 0);
        if (n > 0) {
            const size_t size = static_cast<size_t>(n);
            const char* end = static_cast<const char*>(std::memchr(buffer, '\n', size));
            const size_t take = end ? static_cast<size_t>(end - buffer) : size;
            client.line.append(buffer, take);
            // Over-long requests are dropped whole rather than acted on in part.
            if (client.line.size() > kMaxRequestLine - 1) return true;
            if (end) {
                if (!client.line.empty() && client.line.back() == '\r') client.line.pop_back();
                lines.push_back(std::move(client.line));
                return true;
            }
            continue;
        }
        if (n == 0) {
            if (!client.line.empty()) lines.push_back(std::move(client.line));
            return true;
        }
        if (errno == EINTR) continue;
        return errno != EAGAIN && errno != EWOULDBLOCK;
    }
}

void PosixInstanceGuard::Poll() {
    AcceptPending();
    std::vector<std::string> lines;
    for (auto it = clients_.begin(); it != clients_.end();) {
        if (ServeClient(*it, lines))
            it = clients_.erase(it);
        else
            ++it;
    }
    // The handler runs after the bookkeeping, so it may do anything, even send a request.
    if (!handler_) return;
    for (const std::string& line : lines) handler_(line);
}

}  // namespace vx::platform
