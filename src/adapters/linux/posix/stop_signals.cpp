#include "adapters/linux/posix/stop_signals.hpp"

#include "ports/error.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace quenta::linux_platform {
namespace {

// NOLINTBEGIN(cppcoreguidelines-avoid-non-const-global-variables): what a handler may use
volatile std::sig_atomic_t received = 0;
// The write end of the wake pipe, set before the handlers are installed.
volatile std::sig_atomic_t wakeWrite = -1;
// NOLINTEND(cppcoreguidelines-avoid-non-const-global-variables)

void recordStop(int number) {
    received = number;
    if (wakeWrite >= 0) {
        const int saved = errno;
        const char byte = 1;
        quenta::ignoreResult(::write(wakeWrite, &byte, 1),
                             "a full pipe is already readable: the byte is not needed");
        errno = saved;
    }
}

void handle(int number, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    ::sigaction(number, &action, nullptr);
}

}  // namespace

StopSignals::StopSignals() {
    int wake[2];
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) == 0) {
        wakeRead_ = wake[0];
        wakeWrite = wake[1];
    }
    handle(SIGPIPE, SIG_IGN);
    handle(SIGTERM, recordStop);
    handle(SIGINT, recordStop);
}

StopSignals::~StopSignals() {
    handle(SIGTERM, SIG_DFL);
    handle(SIGINT, SIG_DFL);
    if (wakeRead_ >= 0) {
        ::close(wakeWrite);
        wakeWrite = -1;
        ::close(wakeRead_);
    }
}

bool StopSignals::stopRequested() const {
    return received != 0;
}

int StopSignals::signalReceived() {
    return received;
}

}  // namespace quenta::linux_platform
