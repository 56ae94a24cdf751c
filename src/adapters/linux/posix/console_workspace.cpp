#include "adapters/linux/posix/console_workspace.hpp"

#include <string_view>

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

Status ConsoleWorkspace::openFile(const std::string& path) {
    // Without a display a terminal script is left for the person running us: its path is printed
    // and they run it themselves. Nothing else can be opened.
    constexpr std::string_view kScriptExtension = ".command";
    if (path.size() < kScriptExtension.size() ||
        path.compare(path.size() - kScriptExtension.size(), kScriptExtension.size(),
                     kScriptExtension) != 0) {
        return Error{ErrorKind::unsupported, "without a display nothing opens " + path};
    }
    std::fwrite(path.data(), 1, path.size(), stream_);
    std::fputc('\n', stream_);
    std::fflush(stream_);
    return {};
}

}  // namespace quenta::linux_platform
