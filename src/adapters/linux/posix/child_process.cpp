#include "adapters/linux/posix/child_process.hpp"

#include <signal.h>
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
    // A signal this process ignores (SIGPIPE) would stay ignored in the program: its default
    // comes back.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    SpawnedChild child;
    child.error =
        ::posix_spawn(&child.pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return child;
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
