#include "platform/ProcessLauncher.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

extern char** environ;

namespace vx::platform {
namespace {

class PosixProcessLauncher : public ProcessLauncher {
public:
    ~PosixProcessLauncher() override { Reap(); }

    bool Start(const std::filesystem::path& program) override {
        if (Running()) return true;  // one companion at a time
        const std::string path = program.string();
        const std::string folder = program.parent_path().string();
        posix_spawn_file_actions_t actions;
        if (posix_spawn_file_actions_init(&actions) != 0) return false;
        posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
        char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
        pid_t pid = -1;
        const int status = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        if (status != 0) return false;
        pid_ = pid;
        return true;
    }

    bool Running() override {
        Reap();
        return pid_ > 0;
    }

    bool Terminate() override {
        if (!Running()) return false;
        // Our own child, not yet reaped: the id cannot name another process.
        ::kill(pid_, SIGTERM);
        // Exit must not hang on a companion that ignores the request: two seconds, then killed.
        int status = 0;
        for (int tries = 0; tries < 200; ++tries) {
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return true;
            }
            ::usleep(10000);
        }
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return true;
    }

private:
    void Reap() {
        int status = 0;
        if (pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == pid_) pid_ = -1;
    }

    pid_t pid_ = -1;
};

}  // namespace

std::unique_ptr<ProcessLauncher> ProcessLauncher::Make() { return std::make_unique<PosixProcessLauncher>(); }

}  // namespace vx::platform
