#include "platform/posix/SystemdServiceControl.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <utility>
#include <vector>

extern char** environ;

namespace vx::platform {
namespace {

constexpr size_t kMaxNameLength = 200;
constexpr const char* kSuffix = ".service";

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { Close(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return fd_; }
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

class SpawnActions {
public:
    SpawnActions() { ok_ = ::posix_spawn_file_actions_init(&actions_) == 0; }
    ~SpawnActions() {
        if (ok_) ::posix_spawn_file_actions_destroy(&actions_);
    }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    bool Ok() const { return ok_; }
    posix_spawn_file_actions_t* Get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_{};
    bool ok_ = false;
};

class SpawnAttributes {
public:
    SpawnAttributes() { ok_ = ::posix_spawnattr_init(&attributes_) == 0; }
    ~SpawnAttributes() {
        if (ok_) ::posix_spawnattr_destroy(&attributes_);
    }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    bool Ok() const { return ok_; }
    posix_spawnattr_t* Get() { return &attributes_; }

private:
    posix_spawnattr_t attributes_{};
    bool ok_ = false;
};

int RemainingMs(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Reads until end of file, the size limit or the deadline. True only at end of file.
bool ReadBounded(int fd, std::string& output, std::chrono::steady_clock::time_point deadline) {
    char buffer[512];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, RemainingMs(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        const ssize_t n = ::read(fd, buffer, sizeof(buffer));
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        if (output.size() + static_cast<size_t>(n) > SystemdServiceControl::kMaxOutput)
            return false;
        output.append(buffer, static_cast<size_t>(n));
    }
}

// Waits for the child until the deadline; a child still running then is killed with its
// process group. The exit status, or -1 when it did not end by itself.
int Reap(pid_t pid, bool killNow, std::chrono::steady_clock::time_point deadline) {
    int status = 0;
    while (!killNow) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (done < 0 && errno != EINTR) return -1;
        if (RemainingMs(deadline) == 0) break;
        ::poll(nullptr, 0, 2);
    }
    // Signalled before reaping, so the ids still name our child and its group.
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return -1;
}

std::string Property(const std::string& output, const std::string& key) {
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        const std::string line = output.substr(start, end - start);
        if (line.size() > key.size() && line.compare(0, key.size(), key) == 0 &&
            line[key.size()] == '=')
            return line.substr(key.size() + 1);
        start = end + 1;
    }
    return {};
}

}  // namespace

SystemdServiceControl::SystemdServiceControl(std::string systemctl,
                                             std::chrono::milliseconds timeout, bool userUnits)
    : systemctl_(std::move(systemctl)), timeout_(timeout), userUnits_(userUnits) {}

bool SystemdServiceControl::IsValidName(const std::string& serviceName) {
    if (serviceName.empty() || serviceName.size() > kMaxNameLength) return false;
    // A leading dash would reach systemctl as an option.
    if (serviceName.front() == '-') return false;
    for (const char c : serviceName) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                        (c >= '0' && c <= '9') || c == '_' || c == '.' || c == '@' || c == '-';
        if (!ok) return false;
    }
    return true;
}

ServiceControl::State SystemdServiceControl::ParseShowOutput(const std::string& output) {
    const std::string load = Property(output, "LoadState");
    if (load.empty() || load == "not-found") return State::NotInstalled;
    const std::string active = Property(output, "ActiveState");
    // Starting, reloading and stopping units still count as running.
    if (active.empty() || active == "inactive" || active == "failed") return State::Stopped;
    return State::Running;
}

std::string SystemdServiceControl::UnitName(const std::string& serviceName) {
    std::string unit = serviceName;
    const std::string suffix(kSuffix);
    const bool hasSuffix = unit.size() > suffix.size() &&
                           unit.compare(unit.size() - suffix.size(), suffix.size(), suffix) == 0;
    if (!hasSuffix) unit += suffix;
    return unit;
}

int SystemdServiceControl::Run(std::vector<std::string> args, std::string& output) const {
    args.insert(args.begin(), systemctl_);
    if (userUnits_) args.insert(args.begin() + 1, "--user");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return -1;
    Fd readEnd(fds[0]);
    Fd writeEnd(fds[1]);

    SpawnActions actions;
    SpawnAttributes attributes;
    if (!actions.Ok() || !attributes.Ok()) return -1;
    ::posix_spawn_file_actions_addopen(actions.Get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(actions.Get(), writeEnd.Get(), STDOUT_FILENO);
    ::posix_spawn_file_actions_addopen(actions.Get(), STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // Its own process group, so a hung run can be killed with whatever it started; default
    // signal handling, since the application may ignore SIGPIPE.
    sigset_t defaults;
    sigset_t none;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigemptyset(&none);
    ::posix_spawnattr_setflags(attributes.Get(), POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF |
                                                     POSIX_SPAWN_SETSIGMASK);
    ::posix_spawnattr_setpgroup(attributes.Get(), 0);
    ::posix_spawnattr_setsigdefault(attributes.Get(), &defaults);
    ::posix_spawnattr_setsigmask(attributes.Get(), &none);

    pid_t pid = -1;
    if (::posix_spawnp(&pid, systemctl_.c_str(), actions.Get(), attributes.Get(), argv.data(),
                       environ) != 0)
        return -1;
    writeEnd.Close();

    const auto deadline = std::chrono::steady_clock::now() + timeout_;
    const bool complete = ReadBounded(readEnd.Get(), output, deadline);
    const int status = Reap(pid, !complete, deadline);
    return complete ? status : -1;
}

ServiceControl::State SystemdServiceControl::Query(const std::string& serviceName) const {
    const Status status = QueryStatus(serviceName);
    return status.answered ? status.state : State::NotInstalled;
}

ServiceControl::Status SystemdServiceControl::QueryStatus(const std::string& serviceName) const {
    if (!IsValidName(serviceName)) return {};
    std::string output;
    if (Run({"show", "--no-pager", "-p", "LoadState", "-p", "ActiveState", "--", UnitName(serviceName)},
            output) != 0)
        return {};
    Status status;
    status.answered = true;
    status.state = ParseShowOutput(output);
    const std::string active = Property(output, "ActiveState");
    status.changing = active == "activating" || active == "deactivating" || active == "reloading";
    // systemd reports no wait hint; its state changes are quick to poll.
    status.waitHint = kPollInterval;
    return status;
}

bool SystemdServiceControl::Start(const std::string& serviceName) { return Change("start", serviceName); }

bool SystemdServiceControl::Stop(const std::string& serviceName) { return Change("stop", serviceName); }

bool SystemdServiceControl::Change(const char* verb, const std::string& serviceName) {
    if (!IsValidName(serviceName)) return false;
    std::string output;
    return Run({verb, "--no-block", "--", UnitName(serviceName)}, output) == 0;
}

}  // namespace vx::platform
