#include "adapters/linux/posix/unnamed_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace quenta::linux_platform {

UniqueFd openUnnamedFile(int folder, mode_t mode) {
    return UniqueFd(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
}

int linkUnnamedFile(int fd, int folder, const char* name) {
    // Through /proc the link needs no privilege; AT_EMPTY_PATH is the way without /proc.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, self.c_str(), folder, name, AT_SYMLINK_FOLLOW) == 0) {
        return 0;
    }
    if (errno != ENOENT) {
        return errno;
    }
    return ::linkat(fd, "", folder, name, AT_EMPTY_PATH) == 0 ? 0 : errno;
}

bool unnamedFilesUnsupported(int errnoValue) {
    return errnoValue == EOPNOTSUPP || errnoValue == EISDIR || errnoValue == EINVAL ||
           errnoValue == ENOENT;
}

}  // namespace quenta::linux_platform
