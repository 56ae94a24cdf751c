#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quenta::linux_platform {

// The executable file a program name stands for: the first folder of `searchPath` (a PATH value,
// folders separated by colons) that holds an executable `name`. Only absolute folders are
// searched: an empty entry or a relative one names a folder after the working directory of the
// moment, which a caller in some folder of the user's does not choose. A name with a slash is
// no program name and is never found.
std::optional<std::string> findProgram(std::string_view name, std::string_view searchPath);

// This process's PATH, or /usr/local/bin:/usr/bin:/bin when PATH is unset or empty.
std::string programSearchPath();

// findProgram in programSearchPath().
std::optional<std::string> findProgram(std::string_view name);

}  // namespace quenta::linux_platform
