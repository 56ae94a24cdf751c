#include "core/shared/file_paths.hpp"

namespace quenta {

std::string trimmingTrailingSlashes(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    return std::string(path);
}

std::string appendingPathComponent(const std::string& folder, std::string_view name) {
    std::string path = folder;
    if (path.empty() || path.back() != '/') {
        path += "/";
    }
    path += name;
    return path;
}

std::string parentPath(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

std::string lastPathComponent(const std::string& path) {
    if (path == "/") {
        return path;
    }
    return path.substr(path.rfind('/') + 1);
}

bool isSameOrInsidePath(const std::string& path, const std::string& folder) {
    if (folder == "/") {
        return true;
    }
    return path == folder ||
           (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
            path[folder.size()] == '/');
}

}  // namespace quenta
