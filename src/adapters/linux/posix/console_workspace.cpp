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
    print(path);
    std::fflush(stream_);
    return {};
}

}  // namespace quenta::linux_platform
