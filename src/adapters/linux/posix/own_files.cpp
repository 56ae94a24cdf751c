#include "adapters/linux/posix/own_files.hpp"

#include "adapters/linux/posix/posix_error.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <string_view>
#include <vector>

namespace quenta::linux_platform {

Error refusedOwnFile(const std::string& path) {
    return Error{ErrorKind::permissionDenied,
                 path + " is not a file or folder of this user's own, or is a link: not used"};
}

namespace {

// Pushes the components of `path` so that the first is on top.
void pushComponents(std::string_view path, std::vector<std::string>& pending) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        const auto end = std::min(path.find('/', start), path.size());
        if (end > start && path.substr(start, end - start) != ".") {
            parts.emplace_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    pending.insert(pending.end(), parts.rbegin(), parts.rend());
}

UniqueFd openRoot() {
    return UniqueFd(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
}

}  // namespace

Result<UniqueFd> openOwnFolder(const std::string& path, CreateFolders create) {
    if (path.empty() || path.front() != '/') {
        return errorFromErrno(EINVAL, path);
    }
    // The kernel's own limit of links followed in one lookup.
    constexpr int kMostLinks = 40;
    std::vector<std::string> pending;
    pushComponents(path, pending);
    UniqueFd current = openRoot();
    int links = 0;
    while (!pending.empty()) {
        const std::string part = std::move(pending.back());
        pending.pop_back();
        // The path's own last component: links are followed only before it, so it comes last.
        const bool last = pending.empty();
        UniqueFd next(::openat(current.get(), part.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (!next.valid() && errno == ENOENT &&
            (create == CreateFolders::all || (create == CreateFolders::last && last))) {
            if (::mkdirat(current.get(), part.c_str(), 0700) != 0 && errno != EEXIST) {
                return errorFromErrno(errno, path);
            }
            next = UniqueFd(::openat(current.get(), part.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        }
        if (!next.valid()) {
            return errorFromErrno(errno, path);
        }
        struct stat info {};
        if (::fstat(next.get(), &info) != 0) {
            return errorFromErrno(errno, path);
        }
        if (S_ISLNK(info.st_mode)) {
            if (last || (info.st_uid != 0 && info.st_uid != ::geteuid())) {
                return refusedOwnFile(path);
            }
            if (++links > kMostLinks) {
                return errorFromErrno(ELOOP, path);
            }
            std::string target(PATH_MAX, '\0');
            const ssize_t length = ::readlinkat(next.get(), "", target.data(), target.size());
            if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) {
                return errorFromErrno(length < 0 ? errno : ENAMETOOLONG, path);
            }
            target.resize(static_cast<std::size_t>(length));
            if (target.front() == '/') {
                current = openRoot();
            }
            pushComponents(target, pending);
            continue;
        }
        if (!S_ISDIR(info.st_mode)) {
            return last ? refusedOwnFile(path) : errorFromErrno(ENOTDIR, path);
        }
        current = std::move(next);
    }
    UniqueFd folder(::openat(current.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid()) {
        return errorFromErrno(errno, path);
    }
    struct stat info {};
    if (::fstat(folder.get(), &info) != 0 || info.st_uid != ::geteuid()) {
        return refusedOwnFile(path);
    }
    return folder;
}

Result<UniqueFd> openOwnFile(int folderFd, const std::string& name, int flags, mode_t mode) {
    UniqueFd fd(
        ::openat(folderFd, name.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode));
    if (!fd.valid()) {
        // A link is ELOOP; a FIFO without a reader opened for writing is ENXIO.
        if (errno == ELOOP || errno == ENXIO || errno == EISDIR) {
            return refusedOwnFile(name);
        }
        return errorFromErrno(errno, name);
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid() ||
        info.st_nlink > 1) {
        return refusedOwnFile(name);
    }
    return fd;
}

bool readAtMost(int fd, std::size_t limit, std::string& bytes) {
    char buffer[16384];
    std::size_t total = 0;
    while (true) {
        const std::size_t wanted = std::min(sizeof buffer, limit - total + 1);
        const ssize_t got = ::read(fd, buffer, wanted);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return got == 0;
        }
        total += static_cast<std::size_t>(got);
        if (total > limit) {
            return false;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
}

}  // namespace quenta::linux_platform
