#include "adapters/linux/posix/console_workspace.hpp"

#include "core/shared/utf8.hpp"

#include <string_view>

namespace quenta::linux_platform {

void ConsoleWorkspace::print(const std::string& path) {
    if (nulSeparated_) {
        std::fwrite(path.data(), 1, path.size(), stream_);
        std::fputc('\0', stream_);
        return;
    }
    const std::string line = escapingForOutput(path) + "\n";
    std::fwrite(line.data(), 1, line.size(), stream_);
}

void ConsoleWorkspace::revealItems(const std::vector<std::string>& paths) {
    for (const auto& path : paths) {
        print(path);
    }
    std::fflush(stream_);
}

Status ConsoleWorkspace::openTerminal(const std::string&) {
    return Error{ErrorKind::unsupported, "no display is available to open a terminal window on"};
}

}  // namespace quenta::linux_platform
