#include "adapters/linux/posix/process_runner_posix.hpp"

#include "adapters/linux/posix/child_process.hpp"
#include "adapters/linux/posix/posix_error.hpp"

#include <sys/wait.h>

#include <cerrno>
#include <optional>

namespace quenta::linux_platform {

Result<int> PosixProcessRunner::run(const std::string& executablePath,
                                    const std::vector<std::string>& arguments) {
    // Only absolute paths: a bare name would be looked up nowhere by posix_spawn and a relative
    // one would depend on the working directory.
    if (executablePath.empty() || executablePath.front() != '/') {
        return Error{ErrorKind::invalidArgument,
                     "not an absolute path to a program: \"" + executablePath + "\""};
    }
    const SpawnedChild child = spawnProgram(executablePath, arguments);
    if (child.error != 0) {
        return errorFromErrno(child.error, executablePath);
    }
    const std::optional<int> status = waitForChild(child.pid);
    if (!status) {
        return errorFromErrno(errno, executablePath);
    }
    if (WIFEXITED(*status)) {
        return WEXITSTATUS(*status);
    }
    if (WIFSIGNALED(*status)) {
        return 128 + WTERMSIG(*status);
    }
    return Error{ErrorKind::other, executablePath + ": ended in an unknown way"};
}

}  // namespace quenta::linux_platform
