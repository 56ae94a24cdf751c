#include "adapters/linux/posix/file_system_posix.hpp"

#include "adapters/linux/posix/own_files.hpp"
#include "adapters/linux/posix/posix_error.hpp"
#include "core/shared/file_paths.hpp"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace quenta::linux_platform {

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool readAll(int fd, std::string& bytes) {
    char buffer[16384];
    while (true) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return got == 0;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
}

const char* absolutePathFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '/' ? value : nullptr;
}

bool PosixFileSystem::itemExists(const std::string& path) const {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool PosixFileSystem::isDirectory(const std::string& path) const {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

Status PosixFileSystem::writeNewFile(const std::string& path, std::string_view contents) {
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!fd.valid()) {
        return errorFromErrno(errno);
    }
    int failed = writeAll(fd.get(), contents) ? 0 : errno;
    if (const int closed = fd.close(); failed == 0) {
        failed = closed;
    }
    if (failed != 0) {
        // The file is ours (created exclusively above): a partial file would look like a good one.
        ::unlink(path.c_str());
        return errorFromErrno(failed);
    }
    return {};
}

Status PosixFileSystem::setPermissions(const std::string& path, unsigned mode) {
    if (::chmod(path.c_str(), static_cast<mode_t>(mode)) != 0) {
        return errorFromErrno(errno);
    }
    return {};
}

Status PosixFileSystem::createDirectory(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) != 0) {
        return errorFromErrno(errno);
    }
    return {};
}

PosixFileSystem::~PosixFileSystem() = default;

std::optional<std::string> realPath(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        return std::nullopt;
    }
    std::string result = resolved;
    std::free(resolved);  // NOLINT(cppcoreguidelines-no-malloc): realpath allocates with malloc
    return result;
}

Status PosixFileSystem::appendToFile(const std::string& path, std::string_view bytes) {
    const std::lock_guard lock(appendMutex_);
    if (appendFd_.valid()) {
        struct stat status {};
        if (appendPath_ != path || ::fstat(appendFd_.get(), &status) != 0 || status.st_nlink == 0) {
            appendFd_.reset();
        }
    }
    if (!appendFd_.valid()) {
        // O_APPEND makes each write land at the end atomically, so lines from several threads or
        // processes stay whole; the file is created when missing, its folder never. Only a
        // regular file of the user's own in a folder of the user's own, reached without a link.
        const auto slash = path.rfind('/');
        if (slash == std::string::npos || slash + 1 == path.size()) {
            return errorFromErrno(EINVAL, path);
        }
        auto folder = openOwnFolder(slash == 0 ? "/" : path.substr(0, slash));
        if (!folder) {
            return folder.error();
        }
        auto file = openOwnFile(folder.value().get(), path.substr(slash + 1),
                                O_WRONLY | O_APPEND | O_CREAT, 0666);
        if (!file) {
            return file.error();
        }
        appendFd_ = std::move(file).value();
        appendPath_ = path;
    }
    if (!writeAll(appendFd_.get(), bytes)) {
        const int writeErrno = errno;
        appendFd_.reset();
        return errorFromErrno(writeErrno);
    }
    return {};
}

bool PosixFileSystem::sameContents(const std::string& first, const std::string& second) const {
    UniqueFd a(::open(first.c_str(), O_RDONLY | O_CLOEXEC));
    UniqueFd b(::open(second.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat infoA {};
    struct stat infoB {};
    if (!a.valid() || !b.valid() || ::fstat(a.get(), &infoA) != 0 ||
        ::fstat(b.get(), &infoB) != 0 || !S_ISREG(infoA.st_mode) || !S_ISREG(infoB.st_mode)) {
        return false;
    }
    if (infoA.st_dev == infoB.st_dev && infoA.st_ino == infoB.st_ino) {
        return true;
    }
    std::string bytesA;
    std::string bytesB;
    return infoA.st_size == infoB.st_size && readAll(a.get(), bytesA) && readAll(b.get(), bytesB) &&
           bytesA == bytesB;
}

bool PosixFileSystem::canCreateIn(const std::string& folder) const {
    return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

std::string PosixFileSystem::homeDirectory() const {
    if (const char* home = absolutePathFromEnvironment("HOME")) {
        return home;
    }
    struct passwd entry {};
    struct passwd* found = nullptr;
    std::string buffer(16384, '\0');
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
        return found->pw_dir;
    }
    return "/";
}

std::string PosixFileSystem::logsDirectory() const {
    return xdgBaseDirectory("XDG_STATE_HOME", ".local/state");
}

std::string xdgBaseDirectory(const char* variable, std::string_view belowHome) {
    if (const char* value = absolutePathFromEnvironment(variable)) {
        return trimmingTrailingSlashes(value);
    }
    return appendingPathComponent(trimmingTrailingSlashes(PosixFileSystem().homeDirectory()),
                                  belowHome);
}

}  // namespace quenta::linux_platform
