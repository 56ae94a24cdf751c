#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace quenta::linux_platform {

// A child started by spawnProgram: its pid, or the errno value that kept it from starting.
struct SpawnedChild {
    pid_t pid = 0;
    int error = 0;
};

// Starts the executable at `program` with `arguments` after its own name, in this process's
// environment, its standard input from `standardInput` (or /dev/null when that is -1). Returns at
// once.
SpawnedChild spawnProgram(const std::string& program, const std::vector<std::string>& arguments,
                          int standardInput = -1);

// The one lookup of a program by name: the first executable regular file `name` in the folders of
// $PATH ("/usr/local/bin:/usr/bin:/bin" when it is unset or empty). Only absolute folders are
// searched: an empty entry, "." or any relative one would start whatever lies in the working
// directory. A name holding a slash is not looked up. None when there is no such program.
std::optional<std::string> findProgramInPath(const std::string& name);

// Waits for the child to end, retrying interruptions: its wait status, or none (errno set).
std::optional<int> waitForChild(pid_t child);

}  // namespace quenta::linux_platform
