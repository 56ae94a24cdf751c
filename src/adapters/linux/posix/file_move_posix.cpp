#include "adapters/linux/posix/file_move_posix.hpp"

#include "adapters/linux/posix/file_system_posix.hpp"
#include "adapters/linux/posix/posix_error.hpp"
#include "adapters/linux/posix/unique_fd.hpp"
#include "core/shared/file_paths.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace quenta::linux_platform {
namespace {

constexpr std::size_t kChunk = std::size_t{1} << 30;

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// The names in an open folder, "." and ".." left out. The descriptor stays open.
int listNames(int dirFd, std::vector<std::string>& names) {
    const int copy = ::dup(dirFd);
    if (copy < 0) {
        return errno;
    }
    const std::unique_ptr<DIR, DirCloser> dir(::fdopendir(copy));
    if (!dir) {
        const int error = errno;
        ::close(copy);
        return error;
    }
    ::rewinddir(dir.get());
    while (true) {
        errno = 0;
        const dirent* entry = ::readdir(dir.get());
        if (entry == nullptr) {
            return errno;
        }
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") {
            names.emplace_back(name);
        }
    }
}

std::pair<std::string, std::string> splitPath(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return {".", path};
    }
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// Copies the bytes of one open file to another, with the kernel doing the transfer where it can.
int copyContents(int in, int out) {
    bool kernelCopy = true;
    bool sendFile = true;
    bool copiedAny = false;
    while (true) {
        ssize_t copied = -1;
        if (kernelCopy) {
            copied = ::copy_file_range(in, nullptr, out, nullptr, kChunk, 0);
            if (copied < 0 && !copiedAny &&
                (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
                 errno == EPERM)) {
                kernelCopy = false;
                continue;
            }
        } else if (sendFile) {
            copied = ::sendfile(out, in, nullptr, kChunk);
            if (copied < 0 && !copiedAny && (errno == EINVAL || errno == ENOSYS)) {
                sendFile = false;
                continue;
            }
        } else {
            char buffer[65536];
            copied = ::read(in, buffer, sizeof buffer);
            if (copied > 0 &&
                !writeAll(out, std::string_view(buffer, static_cast<std::size_t>(copied)))) {
                return errno;
            }
        }
        if (copied < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (copied == 0) {
            return 0;
        }
        copiedAny = true;
    }
}

class TreeCopier {
  public:
    explicit TreeCopier(const MoveFaults& faults) : faults_(faults) {}

    // Copies the entry `name` of `srcDir` to the new entry `dstName` of `dstDir`; `created` is set
    // once the copy's top item exists, so a failure knows whether there is anything to remove.
    int copy(int srcDir, const std::string& name, int dstDir, const std::string& dstName,
             const std::string& srcPath, bool& created) {
        struct stat info {};
        if (::fstatat(srcDir, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            return errno;
        }
        const timespec times[2] = {info.st_atim, info.st_mtim};
        if (S_ISLNK(info.st_mode)) {
            return copyLink(srcDir, name, dstDir, dstName, info, times, created);
        }
        if (S_ISREG(info.st_mode)) {
            return copyFile(srcDir, name, dstDir, dstName, srcPath, info, times, created);
        }
        if (S_ISDIR(info.st_mode)) {
            return copyFolder(srcDir, name, dstDir, dstName, srcPath, info, times, created);
        }
        if (::mknodat(dstDir, dstName.c_str(), info.st_mode & (S_IFMT | 07777), info.st_rdev) !=
            0) {
            return errno;
        }
        created = true;
        (void)::fchownat(dstDir, dstName.c_str(), info.st_uid, info.st_gid, AT_SYMLINK_NOFOLLOW);
        if (::fchmodat(dstDir, dstName.c_str(), info.st_mode & 07777, 0) != 0 ||
            ::utimensat(dstDir, dstName.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
            return errno;
        }
        return 0;
    }

  private:
    static int copyLink(int srcDir, const std::string& name, int dstDir, const std::string& dstName,
                        const struct stat& info, const timespec* times, bool& created) {
        std::string target(static_cast<std::size_t>(info.st_size) + 1, '\0');
        while (true) {
            const ssize_t length = ::readlinkat(srcDir, name.c_str(), target.data(), target.size());
            if (length < 0) {
                return errno;
            }
            if (static_cast<std::size_t>(length) < target.size()) {
                target.resize(static_cast<std::size_t>(length));
                break;
            }
            target.resize(target.size() * 2);
        }
        if (::symlinkat(target.c_str(), dstDir, dstName.c_str()) != 0) {
            return errno;
        }
        created = true;
        (void)::fchownat(dstDir, dstName.c_str(), info.st_uid, info.st_gid, AT_SYMLINK_NOFOLLOW);
        if (::utimensat(dstDir, dstName.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
            return errno;
        }
        return 0;
    }

    int copyFile(int srcDir, const std::string& name, int dstDir, const std::string& dstName,
                 const std::string& srcPath, const struct stat& info, const timespec* times,
                 bool& created) {
        if (faults_.copyFile) {
            if (const int injected = faults_.copyFile(srcPath); injected != 0) {
                return injected;
            }
        }
        const UniqueFd in(::openat(srcDir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        if (!in.valid()) {
            return errno;
        }
        UniqueFd out(::openat(dstDir, dstName.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!out.valid()) {
            return errno;
        }
        created = true;
        if (const int error = copyContents(in.get(), out.get()); error != 0) {
            return error;
        }
        // The owner first: changing it clears the set-user-ID and set-group-ID bits.
        (void)::fchown(out.get(), info.st_uid, info.st_gid);
        if (::fchmod(out.get(), info.st_mode & 07777) != 0 || ::futimens(out.get(), times) != 0) {
            return errno;
        }
        return out.close();
    }

    int copyFolder(int srcDir, const std::string& name, int dstDir, const std::string& dstName,
                   const std::string& srcPath, const struct stat& info, const timespec* times,
                   bool& created) {
        const UniqueFd from(
            ::openat(srcDir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!from.valid()) {
            return errno;
        }
        std::vector<std::string> names;
        if (const int error = listNames(from.get(), names); error != 0) {
            return error;
        }
        // Private while it fills; its own mode is set once everything is inside.
        if (::mkdirat(dstDir, dstName.c_str(), 0700) != 0) {
            return errno;
        }
        created = true;
        const UniqueFd to(
            ::openat(dstDir, dstName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!to.valid()) {
            return errno;
        }
        for (const auto& child : names) {
            bool childCreated = false;
            if (const int error =
                    copy(from.get(), child, to.get(), child,
                         std::string(srcPath).append("/").append(child), childCreated);
                error != 0) {
                return error;
            }
        }
        (void)::fchown(to.get(), info.st_uid, info.st_gid);
        if (::fchmod(to.get(), info.st_mode & 07777) != 0 || ::futimens(to.get(), times) != 0) {
            return errno;
        }
        return 0;
    }

    const MoveFaults& faults_;
};

// Removes the entry `name` of `dirFd` with everything inside it. Folders of a copy being undone
// are made writable first, as their modes may forbid removing what they hold.
int removeTree(int dirFd, const std::string& name, bool makeWritable) {
    struct stat info {};
    if (::fstatat(dirFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno;
    }
    if (S_ISDIR(info.st_mode)) {
        const UniqueFd folder(
            ::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!folder.valid()) {
            return errno;
        }
        if (makeWritable) {
            (void)::fchmod(folder.get(), 0700);
        }
        std::vector<std::string> names;
        if (const int error = listNames(folder.get(), names); error != 0) {
            return error;
        }
        for (const auto& child : names) {
            if (const int error = removeTree(folder.get(), child, makeWritable); error != 0) {
                return error;
            }
        }
        return ::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR) == 0 ? 0 : errno;
    }
    return ::unlinkat(dirFd, name.c_str(), 0) == 0 ? 0 : errno;
}

Status copyThenRemove(const std::string& from, const std::string& to, const MoveFaults& faults) {
    const auto [fromParent, fromName] = splitPath(from);
    const auto [toParent, toName] = splitPath(to);
    if (fromName.empty() || toName.empty()) {
        return errorFromErrno(EINVAL);
    }
    const UniqueFd source(::open(fromParent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!source.valid()) {
        return errorFromErrno(errno);
    }
    const UniqueFd destination(::open(toParent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!destination.valid()) {
        return errorFromErrno(errno);
    }
    struct stat sourceInfo {};
    if (::fstatat(source.get(), fromName.c_str(), &sourceInfo, AT_SYMLINK_NOFOLLOW) != 0) {
        return errorFromErrno(errno);
    }
    struct stat taken {};
    if (::fstatat(destination.get(), toName.c_str(), &taken, AT_SYMLINK_NOFOLLOW) == 0) {
        return errorFromErrno(EEXIST);
    }
    // A folder copied into its own tree (say, through a filesystem mounted inside it, or a link
    // that leads there) would never finish. The kernel refuses this for a rename; so do we.
    if (S_ISDIR(sourceInfo.st_mode)) {
        const auto realFrom = realPath(from);
        if (!realFrom) {
            return errorFromErrno(errno);
        }
        const auto realTo = realPath(toParent);
        if (!realTo) {
            return errorFromErrno(errno);
        }
        if (isSameOrInsidePath(*realTo, *realFrom)) {
            return errorFromErrno(EINVAL);
        }
    }

    bool created = false;
    TreeCopier copier(faults);
    int error = copier.copy(source.get(), fromName, destination.get(), toName, from, created);
    if (error == 0 && ::syncfs(destination.get()) != 0) {
        error = errno;
    }
    if (error != 0) {
        if (created) {
            (void)removeTree(destination.get(), toName, true);
        }
        return errorFromErrno(error);
    }
    if (const int removeError = removeTree(source.get(), fromName, false); removeError != 0) {
        return errorFromErrno(removeError);
    }
    return {};
}

}  // namespace

Status moveFileSystemItem(const std::string& from, const std::string& to,
                          const MoveFaults& faults) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return {};
    }
    if (errno != EXDEV) {
        return errorFromErrno(errno);
    }
    return copyThenRemove(from, to, faults);
}

Status PosixFileSystem::moveItem(const std::string& from, const std::string& to) {
    return moveFileSystemItem(from, to);
}

std::optional<std::string> PosixFileSystem::resolvedPath(const std::string& path) const {
    return realPath(path);
}

}  // namespace quenta::linux_platform
