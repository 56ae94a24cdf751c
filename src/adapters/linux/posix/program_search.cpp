#include "adapters/linux/posix/program_search.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace quenta::linux_platform {

std::optional<std::string> findProgram(std::string_view name, std::string_view searchPath) {
    if (name.empty() || name.find('/') != std::string_view::npos) {
        return std::nullopt;
    }
    while (!searchPath.empty()) {
        const auto colon = searchPath.find(':');
        const std::string_view folder = searchPath.substr(0, colon);
        searchPath =
            colon == std::string_view::npos ? std::string_view() : searchPath.substr(colon + 1);
        if (folder.empty() || folder.front() != '/') {
            continue;
        }
        std::string candidate(folder);
        if (candidate.back() != '/') {
            candidate += '/';
        }
        candidate += name;
        struct stat status {};
        if (::stat(candidate.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return std::nullopt;
}

std::string programSearchPath() {
    const char* variable = std::getenv("PATH");
    return variable != nullptr && variable[0] != '\0' ? variable : "/usr/local/bin:/usr/bin:/bin";
}

std::optional<std::string> findProgram(std::string_view name) {
    return findProgram(name, programSearchPath());
}

}  // namespace quenta::linux_platform
