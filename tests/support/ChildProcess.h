#pragma once
// Runs a program as a child process with its own environment, output captured to files.
// Every wait is bounded so a hung child fails the test instead of hanging it.
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vx::test {

class ChildProcess {
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env, const std::filesystem::path& outputDir)
        : stdoutPath_(outputDir / "stdout.txt"), stderrPath_(outputDir / "stderr.txt") {
        pid_ = ::fork();
        if (pid_ != 0) return;
        const int out = ::open(stdoutPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(stderrPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int in = ::open("/dev/null", O_RDONLY);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        std::vector<std::string> envText;
        for (const auto& [k, v] : env) envText.push_back(k + "=" + v);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (auto& e : envText) envp.push_back(e.data());
        envp.push_back(nullptr);
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    ~ChildProcess() {
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    /// Waits until standard output holds `text`; false when the child ended or time ran out.
    bool WaitForOutput(const std::string& text, std::chrono::seconds limit = std::chrono::seconds(20)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            if (Stdout().find(text) != std::string::npos) return true;
            if (Poll()) return Stdout().find(text) != std::string::npos;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    /// The exit status, or nothing when the child did not end in time (it is then killed).
    std::optional<int> Wait(std::chrono::seconds limit = std::chrono::seconds(20)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!Poll() && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (!status_) return std::nullopt;
        if (WIFEXITED(*status_)) return WEXITSTATUS(*status_);
        return 128 + WTERMSIG(*status_);
    }

    void Signal(int signal) const { ::kill(pid_, signal); }
    pid_t pid() const { return pid_; }
    std::string Stdout() const { return Slurp(stdoutPath_); }
    std::string Stderr() const { return Slurp(stderrPath_); }

private:
    bool Poll() {
        if (status_) return true;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) status_ = status;
        return status_.has_value();
    }
    static std::string Slurp(const std::filesystem::path& file) {
        std::ifstream in(file, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::filesystem::path stdoutPath_;
    std::filesystem::path stderrPath_;
    pid_t pid_ = -1;
    std::optional<int> status_;
};

}  // namespace vx::test
