#pragma once

#include "ports/error.hpp"

#include <string>
#include <vector>

namespace quenta {

// Runs system tools as child processes. Main thread only.
class ProcessRunner {
  public:
    virtual ~ProcessRunner() = default;

    // Runs the executable at the absolute path with the arguments, unchanged and in order, and
    // blocks until it exits; there is no time limit. The child inherits standard input, output and
    // error. Returns the child's exit status (128 + the signal's number when a signal ended it), or
    // an Error when it could not be started or waited for.
    [[nodiscard]] virtual Result<int> run(const std::string& executablePath,
                                          const std::vector<std::string>& arguments) = 0;
};

}  // namespace quenta
