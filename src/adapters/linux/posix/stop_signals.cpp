#include "adapters/linux/posix/stop_signals.hpp"

#include <csignal>

namespace quenta::linux_platform {
namespace {

// NOLINTNEXTLINE(cppcoreguidelines-avoid-non-const-global-variables): what a handler may set
volatile std::sig_atomic_t received = 0;

void recordStop(int number) {
    received = number;
}

void handle(int number, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    ::sigaction(number, &action, nullptr);
}

}  // namespace

StopSignals::StopSignals() {
    handle(SIGPIPE, SIG_IGN);
    handle(SIGTERM, recordStop);
    handle(SIGINT, recordStop);
}

StopSignals::~StopSignals() {
    handle(SIGTERM, SIG_DFL);
    handle(SIGINT, SIG_DFL);
}

bool StopSignals::stopRequested() const {
    return received != 0;
}

int StopSignals::signalReceived() {
    return received;
}

}  // namespace quenta::linux_platform
