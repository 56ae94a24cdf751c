#pragma once

#include "ports/process_runner.hpp"

namespace quenta::linux_platform {

// Child processes through posix_spawn and waitpid. The child gets the application's environment
// and standard streams and none of its other descriptors that are marked close-on-exec. A child
// ended by a signal reports 128 + the signal's number, as the shell does.
class PosixProcessRunner : public ProcessRunner {
  public:
    [[nodiscard]] Result<int> run(const std::string& executablePath,
                                  const std::vector<std::string>& arguments) override;
};

}  // namespace quenta::linux_platform
