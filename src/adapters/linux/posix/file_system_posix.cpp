#include "adapters/linux/posix/file_system_posix.hpp"

#include "adapters/linux/posix/own_files.hpp"
#include "adapters/linux/posix/posix_error.hpp"
#include "adapters/linux/posix/unnamed_file.hpp"
#include "core/shared/file_paths.hpp"

#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
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

namespace {

// Writes and flushes the whole of `contents`; 0 or the errno.
int writeAndFlush(UniqueFd& fd, std::string_view contents) {
    int failed = writeAll(fd.get(), contents) ? 0 : errno;
    if (failed == 0 && ::fsync(fd.get()) != 0) {
        failed = errno;
    }
    return failed;
}

// The new file written under a hidden name, then renamed to `name` without replacing anything:
// where unnamed files cannot be made. 0 or the errno.
int writeUnderHiddenName(int folder, const std::string& name, std::string_view contents) {
    std::string hidden;
    UniqueFd fd;
    for (unsigned attempt = 0; attempt < 100 && !fd.valid(); ++attempt) {
        hidden = "." + name.substr(0, 200) + ".new" + std::to_string(::getpid()) + "-" +
                 std::to_string(attempt);
        fd = UniqueFd(::openat(folder, hidden.c_str(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (!fd.valid() && errno != EEXIST) {
            return errno;
        }
    }
    if (!fd.valid()) {
        return EEXIST;
    }
    int failed = writeAndFlush(fd, contents);
    if (const int closed = fd.close(); failed == 0) {
        failed = closed;
    }
    if (failed == 0 &&
        ::renameat2(folder, hidden.c_str(), folder, name.c_str(), RENAME_NOREPLACE) != 0) {
        failed = errno;
        if (failed == EINVAL) {
            // A filesystem without RENAME_NOREPLACE: a hard link never replaces either.
            failed = ::linkat(folder, hidden.c_str(), folder, name.c_str(), 0) == 0 ? 0 : errno;
            ::unlinkat(folder, hidden.c_str(), 0);
            return failed;
        }
    }
    if (failed != 0) {
        ::unlinkat(folder, hidden.c_str(), 0);
    }
    return failed;
}

}  // namespace

Status PosixFileSystem::writeNewFile(const std::string& path, std::string_view contents) {
    const auto slash = path.rfind('/');
    const std::string folderPath = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") {
        return errorFromErrno(name.empty() ? EISDIR : EEXIST);
    }
    const UniqueFd folder(::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid()) {
        return errorFromErrno(errno);
    }
    // The file is written whole without a name and only then linked under `name`: no reader, and
    // no crash or limit that stops the process half-way, ever leaves a partial file there.
    UniqueFd fd = openUnnamedFile(folder.get(), 0666);
    int failed = 0;
    if (fd.valid()) {
        failed = writeAndFlush(fd, contents);
        if (failed == 0) {
            failed = linkUnnamedFile(fd.get(), folder.get(), name.c_str());
        }
        if (const int closed = fd.close(); failed == 0) {
            failed = closed;
        }
    } else if (unnamedFilesUnsupported(errno)) {
        failed = writeUnderHiddenName(folder.get(), name, contents);
    } else {
        failed = errno;
    }
    if (failed != 0) {
        return errorFromErrno(failed);
    }
    ignoreResult(::fsync(folder.get()),
                 "the new file is in place; a folder that cannot be flushed keeps it anyway");
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
