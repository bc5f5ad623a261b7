#include "platform/TerminationSignals.h"

#include <csignal>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace vx::platform {
namespace {

int g_pipe[2] = {-1, -1};

extern "C" void OnTerminationSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

bool Install() {
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0 && ::sigaction(SIGTERM, &action, nullptr) == 0;
}

}  // namespace

int TerminationRequestFd() {
    static const bool installed = Install();
    return installed ? g_pipe[0] : -1;
}

void DrainTerminationRequests() {
    char buffer[64];
    while (g_pipe[0] >= 0 && ::read(g_pipe[0], buffer, sizeof buffer) > 0) {
    }
}

}  // namespace vx::platform
