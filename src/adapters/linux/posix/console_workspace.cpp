#include "adapters/linux/posix/console_workspace.hpp"

namespace quenta::linux_platform {

void ConsoleWorkspace::revealItems(const std::vector<std::string>& paths) {
    for (const auto& path : paths) {
        std::fwrite(path.data(), 1, path.size(), stream_);
        std::fputc('\n', stream_);
    }
    std::fflush(stream_);
}

Status ConsoleWorkspace::openTerminal(const std::string&) {
    return Error{ErrorKind::unsupported, "no display is available to open a terminal window on"};
}

}  // namespace quenta::linux_platform
