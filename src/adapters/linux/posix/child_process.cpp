#include "adapters/linux/posix/child_process.hpp"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string_view>

extern char** environ;

namespace quenta::linux_platform {

SpawnedChild spawnProgram(const std::string& program, const std::vector<std::string>& arguments,
                          int standardInput) {
    std::vector<std::string> words;
    words.reserve(arguments.size() + 1);
    words.push_back(program);
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (auto& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (standardInput >= 0) {
        posix_spawn_file_actions_adddup2(&actions, standardInput, 0);
    } else {
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", 0, 0);
    }
    SpawnedChild child;
    child.error =
        ::posix_spawn(&child.pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

std::optional<std::string> findProgramInPath(const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos) {
        return std::nullopt;
    }
    const char* variable = std::getenv("PATH");
    const std::string_view searchPath =
        variable != nullptr && variable[0] != '\0' ? variable : "/usr/local/bin:/usr/bin:/bin";
    for (std::size_t start = 0; start <= searchPath.size();) {
        const auto end = std::min(searchPath.find(':', start), searchPath.size());
        const std::string_view folder = searchPath.substr(start, end - start);
        start = end + 1;
        if (folder.empty() || folder.front() != '/') {
            continue;
        }
        std::string candidate(folder);
        candidate.append("/").append(name);
        struct stat info {};
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return std::nullopt;
}

std::optional<int> waitForChild(pid_t child) {
    int status = 0;
    pid_t waited = 0;
    do {
        waited = ::waitpid(child, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited != child) {
        return std::nullopt;
    }
    return status;
}

}  // namespace quenta::linux_platform
