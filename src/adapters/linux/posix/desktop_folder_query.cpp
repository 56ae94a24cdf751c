#include "adapters/linux/posix/desktop_folder_query.hpp"

#include "adapters/linux/posix/file_system_posix.hpp"

#include <sys/stat.h>

#include <fstream>
#include <string>

namespace quenta::linux_platform {
namespace {

// XDG_DESKTOP_DIR="$HOME/Desktop" from the user-dirs file, with $HOME expanded; empty if absent.
std::string desktopFromUserDirs(const std::string& home) {
    const std::string file = xdgBaseDirectory("XDG_CONFIG_HOME", ".config") + "/user-dirs.dirs";
    std::ifstream in(file);
    std::string line;
    constexpr std::string_view key = "XDG_DESKTOP_DIR=\"";
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) != 0 || line.back() != '"') {
            continue;
        }
        std::string value = line.substr(key.size(), line.size() - key.size() - 1);
        if (value.rfind("$HOME", 0) == 0) {
            value.replace(0, 5, home);
        }
        return value.empty() || value[0] != '/' ? std::string() : value;
    }
    return {};
}

}  // namespace

// No file manager here answers scripts: the desktop folder stands in for the front window.
Result<std::string> DesktopFolderQuery::run(std::string_view /*scriptSource*/) {
    const std::string home = PosixFileSystem().homeDirectory();
    std::string desktop = desktopFromUserDirs(home);
    if (desktop.empty()) {
        desktop = (home == "/" ? "" : home) + "/Desktop";
    }
    struct stat info {};
    if (::stat(desktop.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return Error{ErrorKind::notFound,
                     "{\n    reason = \"no desktop folder at " + desktop + "\";\n}"};
    }
    return desktop;
}

}  // namespace quenta::linux_platform
