#include "support/extension_requests.hpp"

#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <thread>

namespace quenta::testing {
namespace {

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t found = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++found;
    }
    return found;
}

}  // namespace

void waitForExtensionRequests(const std::string& logPath,
                              const std::function<void()>& runEventLoop) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        runEventLoop();
        const std::string text = readFile(logPath);
        if (occurrences(text, "] opening callback URL: ") ==
            occurrences(text, "] main app open request sent\n") +
                occurrences(text, "] failed to open main app: ")) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ADD_FAILURE() << "quentaapp did not take the requests:\n" << readFile(logPath);
}

}  // namespace quenta::testing
