#pragma once
// A PulseAudio server of the test's own, in user mode on a private runtime folder, with the
// modules given; killed when the object goes, also when the test fails. Every wait is bounded.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace vx::test {

class SoundServer {
public:
    /// Starts the server with `modules` (module-null-sink lines and the like) loaded.
    explicit SoundServer(const std::vector<std::string>& modules) {
        env_ = {{"HOME", dir_.path().string()},
                {"XDG_RUNTIME_DIR", dir_.path().string()},
                {"PULSE_RUNTIME_PATH", (dir_ / "pulse").string()},
                {"PATH", "/usr/bin:/bin"}};
        const std::string pulseaudio = OnPath("pulseaudio");
        if (pulseaudio.empty()) return;
        std::vector<std::string> args{"--daemonize=no", "-n", "--exit-idle-time=-1",
                                      "--load=module-native-protocol-unix"};
        for (const std::string& module : modules) args.push_back("--load=" + module);
        server_ = std::make_unique<ChildProcess>(pulseaudio, args, env_, OutputDir("server"));
        running_ = WaitFor([&] { return std::filesystem::exists(dir_ / "pulse" / "native"); });
    }

    /// False when the server could not start here; `why` says what it printed.
    bool running() const { return running_; }
    std::string why() const { return server_ ? server_->Stderr() : "no pulseaudio program on the PATH"; }
    std::string address() const { return "unix:" + (dir_ / "pulse" / "native").string(); }
    const std::map<std::string, std::string>& env() const { return env_; }
    const TempDir& dir() const { return dir_; }

    /// A folder of its own for one child's output.
    std::filesystem::path OutputDir(const std::string& name) const {
        const auto out = dir_ / "out" / name;
        std::filesystem::create_directories(out);
        return out;
    }
    /// Runs a client program (pactl, sox) to its end: its standard output and error, or nothing
    /// when it failed or hung.
    std::optional<std::string> Run(const std::string& program, const std::vector<std::string>& args) const {
        static int runs = 0;
        ChildProcess child(program, args, env_, OutputDir("run" + std::to_string(++runs)));
        if (child.Wait() != std::optional<int>(0)) return std::nullopt;
        return child.Stdout() + child.Stderr();
    }

    /// Polls `condition` for up to 10 s.
    template <typename Condition>
    static bool WaitFor(Condition condition) {
        for (int i = 0; i < 500 && !condition(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return condition();
    }

    static std::string OnPath(const std::string& name) {
        std::istringstream path(std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin");
        for (std::string dir; std::getline(path, dir, ':');)
            if (::access((dir + "/" + name).c_str(), X_OK) == 0) return dir + "/" + name;
        return {};
    }

private:
    TempDir dir_;
    std::map<std::string, std::string> env_;
    std::unique_ptr<ChildProcess> server_;
    bool running_ = false;
};

}  // namespace vx::test
