#pragma once

#include "platform/file_system.hpp"

namespace quenta::linux_platform {

// The file system through POSIX calls. Creation is exclusive (O_EXCL, O_NOFOLLOW): nothing that is
// already at a path, a symbolic link included, is ever replaced or written through.
class PosixFileSystem : public FileSystem {
  public:
    [[nodiscard]] bool itemExists(const std::string& path) const override;
    [[nodiscard]] bool isDirectory(const std::string& path) const override;
    Status writeNewFile(const std::string& path, std::string_view contents) override;
    Status setPermissions(const std::string& path, unsigned mode) override;
    Status createDirectory(const std::string& path) override;
    Status appendToFile(const std::string& path, std::string_view bytes) override;
    Status moveItem(const std::string& from, const std::string& to) override;
    Status trashItem(const std::string& path) override;
    [[nodiscard]] std::vector<Status> trashItems(const std::vector<std::string>& paths) override;
    Status writeFileAtomically(const std::string& path, std::string_view contents) override;
    [[nodiscard]] std::string temporaryDirectory() const override;
    [[nodiscard]] std::optional<std::string> resolvedPath(const std::string& path) const override;
    [[nodiscard]] std::string homeDirectory() const override;
    [[nodiscard]] std::string logsDirectory() const override;
};

// Writes all of `bytes` to the descriptor, retrying short writes and interruptions; false with
// errno set on failure.
bool writeAll(int fd, std::string_view bytes);

// The value of an environment variable when it is set to an absolute path, else none.
const char* absolutePathFromEnvironment(const char* name);

}  // namespace quenta::linux_platform
