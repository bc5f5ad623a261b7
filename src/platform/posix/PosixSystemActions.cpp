#include "platform/posix/PosixSystemActions.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

extern char** environ;

namespace vx::platform {
namespace {

constexpr uint32_t kSecondsPerMinute = 60;

class SpawnSetup {
public:
    SpawnSetup() {
        actionsOk_ = ::posix_spawn_file_actions_init(&actions_) == 0;
        attributesOk_ = ::posix_spawnattr_init(&attributes_) == 0;
    }
    ~SpawnSetup() {
        if (actionsOk_) ::posix_spawn_file_actions_destroy(&actions_);
        if (attributesOk_) ::posix_spawnattr_destroy(&attributes_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
    bool Ok() const { return actionsOk_ && attributesOk_; }
    posix_spawn_file_actions_t* actions() { return &actions_; }
    posix_spawnattr_t* attributes() { return &attributes_; }

private:
    posix_spawn_file_actions_t actions_{};
    posix_spawnattr_t attributes_{};
    bool actionsOk_ = false;
    bool attributesOk_ = false;
};

// The wall message as one argument: no line breaks, no trailing blanks.
std::string OneLine(const std::string& message) {
    std::string line;
    for (const char c : message) line += (c == '\n' || c == '\r') ? ' ' : c;
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

}  // namespace

PosixSystemActions::PosixSystemActions(std::string systemctl, std::string shutdown, std::chrono::milliseconds timeout,
                                       std::string soundServer)
    : systemctl_(std::move(systemctl)), shutdown_(std::move(shutdown)), timeout_(timeout),
      tone_(std::move(soundServer)) {}

void PosixSystemActions::Beep(uint32_t frequencyHz, uint32_t durationMs) {
    // A program started from the desktop has no terminal: the tone is what the user hears.
    tone_.Start(frequencyHz, durationMs);
    const int fd = ::open("/dev/tty", O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    const char bell = '\a';
    [[maybe_unused]] const ssize_t written = ::write(fd, &bell, 1);
    ::close(fd);
}

std::vector<std::vector<std::string>> PosixSystemActions::ShutdownCommands(uint32_t delaySeconds,
                                                                           const std::string& message,
                                                                           const std::string& systemctl,
                                                                           const std::string& shutdown) {
    const std::string text = OneLine(message);
    const uint32_t minutes = delaySeconds == 0 ? 0 : (delaySeconds + kSecondsPerMinute - 1) / kSecondsPerMinute;
    std::vector<std::vector<std::string>> commands;
    commands.push_back({systemctl, "poweroff", "--when=+" + std::to_string(delaySeconds) + "s",
                        "--message=" + text});
    commands.push_back({shutdown, "-P", minutes == 0 ? std::string("now") : "+" + std::to_string(minutes), text});
    return commands;
}

bool PosixSystemActions::ScheduleShutdown(uint32_t delaySeconds, const std::string& message) {
    for (const auto& command : ShutdownCommands(delaySeconds, message, systemctl_, shutdown_))
        if (RunBounded(command, timeout_) == 0) return true;
    return false;
}

int PosixSystemActions::RunBounded(const std::vector<std::string>& argv, std::chrono::milliseconds timeout) {
    if (argv.empty() || argv.front().empty()) return -1;
    std::vector<std::string> args = argv;
    std::vector<char*> pointers;
    for (std::string& arg : args) pointers.push_back(arg.data());
    pointers.push_back(nullptr);

    SpawnSetup setup;
    if (!setup.Ok()) return -1;
    ::posix_spawn_file_actions_addopen(setup.actions(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(setup.actions(), STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_addopen(setup.actions(), STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // Its own process group, so a hung run is killed with whatever it started.
    sigset_t defaults;
    sigset_t none;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigemptyset(&none);
    ::posix_spawnattr_setflags(setup.attributes(),
                               POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    ::posix_spawnattr_setpgroup(setup.attributes(), 0);
    ::posix_spawnattr_setsigdefault(setup.attributes(), &defaults);
    ::posix_spawnattr_setsigmask(setup.attributes(), &none);

    pid_t pid = -1;
    if (::posix_spawnp(&pid, args.front().c_str(), setup.actions(), setup.attributes(), pointers.data(),
                       environ) != 0)
        return -1;

    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (done < 0 && errno != EINTR) return -1;
        if (std::chrono::steady_clock::now() >= deadline) break;
        ::poll(nullptr, 0, 5);
    }
    // Signalled before reaping, so the ids still name our child and its group.
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return -1;
}

}  // namespace vx::platform
