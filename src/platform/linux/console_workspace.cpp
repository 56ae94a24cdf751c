#include "platform/linux/console_workspace.hpp"

namespace quenta::linux_platform {

void ConsoleWorkspace::revealItems(const std::vector<std::string>& paths) {
    for (const auto& path : paths) {
        std::fwrite(path.data(), 1, path.size(), stream_);
        std::fputc('\n', stream_);
    }
    std::fflush(stream_);
}

}  // namespace quenta::linux_platform

namespace quenta::linux_platform {

bool ConsoleWorkspace::openFile(const std::string& path) {
    (void)path;
    return false;
}

}  // namespace quenta::linux_platform
