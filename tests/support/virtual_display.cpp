#include "support/virtual_display.hpp"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace quenta::testing {

VirtualDisplay::VirtualDisplay() {
    if (::access("/usr/bin/Xvfb", X_OK) != 0) {
        return;
    }
    const std::string numberFile = folder_ / "display";
    const std::string command = "exec /usr/bin/Xvfb -displayfd 3 -nolisten tcp 3>" +
                                shellQuote(numberFile) + " >/dev/null 2>&1";
    const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    if (::posix_spawn(&pid_, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
        pid_ = -1;
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        const std::string number = readFile(numberFile);
        if (!number.empty() && number.back() == '\n') {
            name_ = ":" + number.substr(0, number.size() - 1);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

VirtualDisplay::~VirtualDisplay() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
}

}  // namespace quenta::testing
