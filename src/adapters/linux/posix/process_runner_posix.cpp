#include "adapters/linux/posix/process_runner_posix.hpp"

#include "adapters/linux/posix/child_process.hpp"

#include <sys/wait.h>

#include <optional>

namespace quenta::linux_platform {

int PosixProcessRunner::run(const std::string& executablePath,
                            const std::vector<std::string>& arguments) {
    // Only absolute paths: a bare name would be looked up nowhere by posix_spawn and a relative
    // one would depend on the working directory.
    if (executablePath.empty() || executablePath.front() != '/') {
        return -1;
    }
    const SpawnedChild child = spawnProgram(executablePath, arguments);
    if (child.error != 0) {
        return -1;
    }
    const std::optional<int> status = waitForChild(child.pid);
    if (!status) {
        return -1;
    }
    if (WIFEXITED(*status)) {
        return WEXITSTATUS(*status);
    }
    if (WIFSIGNALED(*status)) {
        return 128 + WTERMSIG(*status);
    }
    return -1;
}

}  // namespace quenta::linux_platform
