#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/posix/PosixInstanceGuard.h"
#include "support/TempDir.h"

namespace vx::platform {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

class InstanceGuardTest : public ::testing::Test {
protected:

    // Polls until `count` requests arrived; the sender has written before it returns, so a
    // few rounds only cover the kernel handing the connection over.
    static void PollUntil(PosixInstanceGuard& guard, const std::vector<std::string>& received,
                          size_t count) {
        for (int i = 0; i < 100 && received.size() < count; ++i) {
            guard.Poll();
            if (received.size() < count) ::usleep(1000);
        }
    }

    // Connects to the guard's socket like a foreign client and writes raw bytes.
    static int RawConnect(const fs::path& socketPath) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socketPath.c_str(), sizeof(address.sun_path) - 1);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    test::TempDir temp_;
    const fs::path dir_ = temp_.path();
};

TEST_F(InstanceGuardTest, SecondCopyDefersUntilTheFirstIsGone) {
    {
        PosixInstanceGuard first(dir_);
        ASSERT_EQ(first.Acquire(), InstanceGuard::Result::Acquired);
        EXPECT_EQ(first.Acquire(), InstanceGuard::Result::Acquired);  // asking again keeps it
        EXPECT_GE(first.ListenFd(), 0);

        PosixInstanceGuard second(dir_);
        EXPECT_EQ(second.Acquire(), InstanceGuard::Result::AlreadyRunning);
        EXPECT_EQ(second.ListenFd(), -1);
        PosixInstanceGuard third(dir_);
        EXPECT_EQ(third.Acquire(), InstanceGuard::Result::AlreadyRunning);
    }
    EXPECT_FALSE(fs::exists(dir_ / "veltrix-plus.sock"));
    PosixInstanceGuard next(dir_);
    EXPECT_EQ(next.Acquire(), InstanceGuard::Result::Acquired);
}

TEST_F(InstanceGuardTest, RequestsArriveThroughPollInOrder) {
    PosixInstanceGuard first(dir_);
    ASSERT_EQ(first.Acquire(), InstanceGuard::Result::Acquired);
    std::vector<std::string> received;
    first.OnRequest([&](const std::string& request) { received.push_back(request); });
    first.Poll();  // nothing pending: returns at once
    EXPECT_TRUE(received.empty());

    {
        // A copy that defers leaves the first copy's socket in place.
        PosixInstanceGuard deferred(dir_);
        ASSERT_EQ(deferred.Acquire(), InstanceGuard::Result::AlreadyRunning);
    }
    PosixInstanceGuard second(dir_);
    ASSERT_EQ(second.Acquire(), InstanceGuard::Result::AlreadyRunning);
    ASSERT_TRUE(second.SendToRunningCopy("show"));
    ASSERT_TRUE(second.SendToRunningCopy("show\nquit"));  // only the first line travels
    PollUntil(first, received, 2);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0], "show");
    EXPECT_EQ(received[1], "show");
}

TEST_F(InstanceGuardTest, UnusableRuntimeDirFails) {
    // No copy runs yet: nobody to ask.
    EXPECT_FALSE(PosixInstanceGuard(dir_).SendToRunningCopy("show"));

    // A folder that cannot be made: its parent is a file.
    test::TempDir::WriteFile(dir_ / "file", "x");
    PosixInstanceGuard underFile(dir_ / "file" / "run");
    EXPECT_EQ(underFile.Acquire(), InstanceGuard::Result::Failed);
    EXPECT_FALSE(underFile.SendToRunningCopy("show"));

    // A folder others may write to could be anybody's.
    const fs::path open = dir_ / "open";
    fs::create_directory(open);
    fs::permissions(open, fs::perms::all);
    PosixInstanceGuard shared(open);
    EXPECT_EQ(shared.Acquire(), InstanceGuard::Result::Failed);

    // A runtime path too long for a socket address still gives the lock, without a socket.
    const fs::path deep = dir_ / std::string(120, 'd');
    PosixInstanceGuard longPath(deep);
    EXPECT_EQ(longPath.Acquire(), InstanceGuard::Result::Acquired);
    EXPECT_EQ(longPath.ListenFd(), -1);
    EXPECT_FALSE(longPath.SendToRunningCopy("show"));
}

TEST_F(InstanceGuardTest, ReadOnlyRuntimeDirFails) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes through folder permissions";
    const fs::path locked = dir_ / "locked";
    fs::create_directory(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    PosixInstanceGuard guard(locked);
    EXPECT_EQ(guard.Acquire(), InstanceGuard::Result::Failed);
    fs::permissions(locked, fs::perms::owner_all);
}

TEST_F(InstanceGuardTest, MissingRuntimeDirIsCreatedPrivate) {
    const fs::path run = dir_ / "run";
    PosixInstanceGuard guard(run);
    ASSERT_EQ(guard.Acquire(), InstanceGuard::Result::Acquired);
    struct stat st {};
    ASSERT_EQ(::stat(run.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(InstanceGuardTest, StaleSocketFileIsReplaced) {
    const fs::path socketPath = dir_ / "veltrix-plus.sock";
    {
        // A socket bound by a copy that died without cleaning up.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socketPath.c_str(), sizeof(address.sun_path) - 1);
        ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
        ::close(fd);
    }
    ASSERT_TRUE(fs::is_socket(socketPath));
    PosixInstanceGuard first(dir_);
    ASSERT_EQ(first.Acquire(), InstanceGuard::Result::Acquired);
    std::vector<std::string> received;
    first.OnRequest([&](const std::string& request) { received.push_back(request); });
    PosixInstanceGuard second(dir_);
    ASSERT_TRUE(second.SendToRunningCopy("show"));
    PollUntil(first, received, 1);
    EXPECT_EQ(received, std::vector<std::string>{"show"});
}

TEST_F(InstanceGuardTest, OverLongRequestsAreBounded) {
    PosixInstanceGuard first(dir_);
    ASSERT_EQ(first.Acquire(), InstanceGuard::Result::Acquired);
    std::vector<std::string> received;
    first.OnRequest([&](const std::string& request) { received.push_back(request); });

    // The sender cuts its own line.
    PosixInstanceGuard second(dir_);
    ASSERT_TRUE(second.SendToRunningCopy(std::string(10000, 'a')));
    PollUntil(first, received, 1);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0], std::string(PosixInstanceGuard::kMaxRequestLine - 1, 'a'));

    // A foreign client's endless line is dropped; the copy keeps serving.
    const int raw = RawConnect(first.SocketPath());
    ASSERT_GE(raw, 0);
    const std::string flood(5000, 'b');
    ASSERT_EQ(::send(raw, flood.data(), flood.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(flood.size()));
    for (int i = 0; i < 5; ++i) first.Poll();
    ::close(raw);
    ASSERT_TRUE(second.SendToRunningCopy("show"));
    PollUntil(first, received, 2);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[1], "show");
}

TEST_F(InstanceGuardTest, SilentConnectionsDoNotBlockLaterRequests) {
    PosixInstanceGuard first(dir_);
    ASSERT_EQ(first.Acquire(), InstanceGuard::Result::Acquired);
    std::vector<std::string> received;
    first.OnRequest([&](const std::string& request) { received.push_back(request); });

    std::vector<int> silent;
    for (size_t i = 0; i < PosixInstanceGuard::kMaxPendingClients + 2; ++i) {
        silent.push_back(RawConnect(first.SocketPath()));
        ASSERT_GE(silent.back(), 0);
        first.Poll();
    }
    PosixInstanceGuard second(dir_);
    ASSERT_TRUE(second.SendToRunningCopy("show"));
    PollUntil(first, received, 1);
    EXPECT_EQ(received, std::vector<std::string>{"show"});
    for (const int fd : silent) ::close(fd);
}

TEST_F(InstanceGuardTest, ListenerThatNeverPollsDoesNotHangTheSender) {
    PosixInstanceGuard first(dir_);
    ASSERT_EQ(first.Acquire(), InstanceGuard::Result::Acquired);
    PosixInstanceGuard second(dir_, 50ms);
    // Fill the backlog and the socket buffers; every call must come back.
    int accepted = 0;
    for (int i = 0; i < 64; ++i) {
        if (second.SendToRunningCopy(std::string(200, 'x'))) ++accepted;
    }
    EXPECT_GT(accepted, 0);
    EXPECT_LT(accepted, 64);  // a full backlog turns requests away instead of waiting
}

}  // namespace
}  // namespace vx::platform
