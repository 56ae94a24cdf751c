#include "platform/linux/process_runner_posix.hpp"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>

extern char** environ;

namespace quenta::linux_platform {

int PosixProcessRunner::run(const std::string& executablePath,
                            const std::vector<std::string>& arguments) {
    // Only absolute paths: a bare name would be looked up nowhere by posix_spawn and a relative
    // one would depend on the working directory.
    if (executablePath.empty() || executablePath.front() != '/') {
        return -1;
    }
    std::vector<std::string> words;
    words.reserve(arguments.size() + 1);
    words.push_back(executablePath);
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (auto& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    pid_t child = 0;
    if (::posix_spawn(&child, executablePath.c_str(), nullptr, nullptr, argv.data(), environ) !=
        0) {
        return -1;
    }
    int status = 0;
    pid_t waited = 0;
    do {
        waited = ::waitpid(child, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited < 0) {
        return -1;
    }
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    return -1;
}

}  // namespace quenta::linux_platform
