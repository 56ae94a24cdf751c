// The atomic write, the temporary folder and the trash operations of PosixFileSystem.
#include "adapters/linux/posix/file_system_posix.hpp"
#include "adapters/linux/posix/posix_error.hpp"
#include "adapters/linux/posix/trash_posix.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <string>

namespace quenta::linux_platform {

namespace {

constexpr std::size_t kLongestSideBase = 200;
constexpr int kMostSideNameTries = 100;

// A name for the side file in the same folder: hidden, unlikely to be taken, and short enough for
// the filesystem whatever the length of the file's own name.
std::string sideFileName(const std::string& name, unsigned number) {
    return "." + name.substr(0, kLongestSideBase) + ".tmp" + std::to_string(number);
}

}  // namespace

Status PosixFileSystem::writeFileAtomically(const std::string& path, std::string_view contents) {
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty()) {
        return errorFromErrno(EISDIR);
    }

    std::random_device seed;
    std::mt19937 random(seed());
    std::string side;
    int fd = -1;
    for (int attempt = 0; attempt < kMostSideNameTries && fd < 0; ++attempt) {
        side = folder + sideFileName(name, static_cast<unsigned>(random()));
        // Mode 0666 less the creation mask, as for any new file; exclusive and never through a
        // link.
        fd = ::open(side.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            return errorFromErrno(errno);
        }
    }
    if (fd < 0) {
        return errorFromErrno(EEXIST);
    }

    int failed = writeAll(fd, contents) ? 0 : errno;
    // On disk before it replaces the old contents, so a crash leaves the old or the new file.
    if (failed == 0 && ::fsync(fd) != 0) {
        failed = errno;
    }
    if (::close(fd) != 0 && failed == 0) {
        failed = errno;
    }
    // rename replaces a link at the path itself, never what it points to.
    if (failed == 0 && ::rename(side.c_str(), path.c_str()) != 0) {
        failed = errno;
    }
    if (failed != 0) {
        ::unlink(side.c_str());
        return errorFromErrno(failed);
    }
    return {};
}

std::string PosixFileSystem::temporaryDirectory() const {
    std::string folder = "/tmp";
    if (const char* tmp = absolutePathFromEnvironment("TMPDIR")) {
        folder = tmp;
    }
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder;
}

Status PosixFileSystem::trashItem(const std::string& path) {
    return PosixTrash().trash({path}).front();
}

std::vector<Status> PosixFileSystem::trashItems(const std::vector<std::string>& paths) {
    return PosixTrash().trash(paths);
}

}  // namespace quenta::linux_platform
