#pragma once

#include <functional>
#include <string>

namespace quenta::testing {

// Waits (at most 10 s) until quentaapp has taken every request the extension's log at `logPath`
// says was sent, calling `runEventLoop` between looks: a module learns the outcome of a request on
// its host's main queue, so the test runs that loop as the file manager would. Fails the current
// test, with the log, when the requests are not taken in time.
void waitForExtensionRequests(const std::string& logPath,
                              const std::function<void()>& runEventLoop);

}  // namespace quenta::testing
