#pragma once
// Single instance through flock on a lock file; later copies reach the first through a local
// stream socket beside it.
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/InstanceGuard.h"

namespace vx::platform {

class PosixInstanceGuard final : public InstanceGuard {
public:
    /// Longest request line, newline included; longer requests are cut by the sender and
    /// dropped by the receiver.
    static constexpr size_t kMaxRequestLine = 256;
    /// Connections waiting for their line; the oldest is dropped to make room for a new one.
    static constexpr size_t kMaxPendingClients = 8;
    static constexpr std::chrono::milliseconds kDefaultSendTimeout{1000};

    /// `runtimeDir` is created (mode 0700) when missing; it must belong to this user.
    explicit PosixInstanceGuard(std::filesystem::path runtimeDir,
                                std::chrono::milliseconds sendTimeout = kDefaultSendTimeout);
    ~PosixInstanceGuard() override;
    PosixInstanceGuard(const PosixInstanceGuard&) = delete;
    PosixInstanceGuard& operator=(const PosixInstanceGuard&) = delete;

    Result Acquire() override;
    /// Connects, writes one line and closes; false when no copy listens or the line could
    /// not be written within the send timeout.
    bool SendToRunningCopy(const std::string& request) override;
    void OnRequest(std::function<void(const std::string&)> handler) override;
    void Poll() override;

    /// The listening socket (readable when a later copy connects), or -1 when not listening.
    /// A line that arrives after its connection was accepted is served by a later Poll, so
    /// callers that watch this descriptor should also poll on a timer.
    int ListenFd() const;
    std::filesystem::path LockPath() const;
    std::filesystem::path SocketPath() const;

private:
    class Fd {
    public:
        Fd() = default;
        explicit Fd(int fd) : fd_(fd) {}
        ~Fd();
        Fd(Fd&& other) noexcept : fd_(other.Release()) {}
        Fd& operator=(Fd&& other) noexcept;
        int Get() const { return fd_; }
        int Release();
        void Reset(int fd = -1);
        explicit operator bool() const { return fd_ >= 0; }

    private:
        int fd_ = -1;
    };

    struct Client {
        Fd fd;
        std::string line;
    };

    bool PrepareRuntimeDir() const;
    void Listen();
    void AcceptPending();
    // True when the client is finished (served, closed or dropped); a complete line goes to
    // `lines`.
    bool ServeClient(Client& client, std::vector<std::string>& lines);

    std::filesystem::path runtimeDir_;
    std::chrono::milliseconds sendTimeout_;
    Fd lock_;
    Fd listener_;
    bool ownsSocket_ = false;
    std::vector<Client> clients_;
    std::function<void(const std::string&)> handler_;
};

}  // namespace vx::platform
