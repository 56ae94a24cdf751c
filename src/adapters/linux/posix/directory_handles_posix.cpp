#include "adapters/linux/posix/directory_handles_posix.hpp"

#include "adapters/linux/posix/file_system_posix.hpp"
#include "adapters/linux/posix/posix_error.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace quenta::linux_platform {
namespace {

// The most one kernel copy call moves: small enough for progress to advance a few times a second
// and a cancel to be seen soon.
constexpr std::size_t kChunk = std::size_t{8} << 20;

int fdOf(const FolderHandle& folder) {
    return static_cast<int>(folder.id());
}

Error failure(int error = errno) {
    return errorFromErrno(error);
}

Status statusOf(int result) {
    return result == 0 ? Status{} : Status{failure()};
}

EntryStatus::Type typeOf(mode_t mode) {
    switch (mode & S_IFMT) {
        case S_IFDIR:
            return EntryStatus::Type::folder;
        case S_IFLNK:
            return EntryStatus::Type::symlink;
        case S_IFIFO:
            return EntryStatus::Type::fifo;
        case S_IFSOCK:
            return EntryStatus::Type::socket;
        case S_IFCHR:
            return EntryStatus::Type::characterDevice;
        case S_IFBLK:
            return EntryStatus::Type::blockDevice;
        default:
            return EntryStatus::Type::file;
    }
}

mode_t formatOf(EntryStatus::Type type) {
    switch (type) {
        case EntryStatus::Type::folder:
            return S_IFDIR;
        case EntryStatus::Type::symlink:
            return S_IFLNK;
        case EntryStatus::Type::fifo:
            return S_IFIFO;
        case EntryStatus::Type::socket:
            return S_IFSOCK;
        case EntryStatus::Type::characterDevice:
            return S_IFCHR;
        case EntryStatus::Type::blockDevice:
            return S_IFBLK;
        case EntryStatus::Type::file:
            break;
    }
    return S_IFREG;
}

EntryStatus entryStatus(const struct stat& info) {
    EntryStatus status;
    status.type = typeOf(info.st_mode);
    status.device = info.st_dev;
    status.inode = info.st_ino;
    status.size = static_cast<std::uint64_t>(info.st_size);
    status.mode = info.st_mode & 07777;
    status.links = static_cast<unsigned>(info.st_nlink);
    status.owner = info.st_uid;
    status.group = info.st_gid;
    status.deviceNumber = info.st_rdev;
    status.accessed = {info.st_atim.tv_sec, info.st_atim.tv_nsec};
    status.modified = {info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
    return status;
}

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// Copies the extended attributes through `list`, `get` and `set` (fd- or path-based calls).
template <class List, class Get, class Set>
int copyAttributes(List list, Get get, Set set) {
    std::vector<char> names(256);
    while (true) {
        const ssize_t length = list(names.data(), names.size());
        if (length >= 0) {
            names.resize(static_cast<std::size_t>(length));
            break;
        }
        if (errno == ENOTSUP || errno == EOPNOTSUPP) {
            return 0;
        }
        if (errno != ERANGE) {
            return errno;
        }
        names.resize(names.size() * 4);
    }
    std::vector<char> value(256);
    for (std::size_t at = 0; at < names.size();) {
        const char* name = names.data() + at;
        at += std::strlen(name) + 1;
        ssize_t length = -1;
        while ((length = get(name, value.data(), value.size())) < 0 && errno == ERANGE) {
            value.resize(value.size() * 4);
        }
        if (length < 0) {
            if (errno == ENODATA) {
                continue;
            }
            return errno;
        }
        if (set(name, value.data(), static_cast<std::size_t>(length)) != 0 && errno != ENOTSUP &&
            errno != EOPNOTSUPP && errno != EPERM) {
            return errno;
        }
    }
    return 0;
}

int copyAttributesOfFd(int in, int out) {
    return copyAttributes(
        [&](char* list, std::size_t size) { return ::flistxattr(in, list, size); },
        [&](const char* name, void* value, std::size_t size) {
            return ::fgetxattr(in, name, value, size);
        },
        [&](const char* name, const void* value, std::size_t size) {
            return ::fsetxattr(out, name, value, size, 0);
        });
}

// Owner (where permitted, as mv keeps it) and mode; the owner first as changing it clears the
// set-user-ID and set-group-ID bits.
int applyOwnerAndMode(int fd, const EntryStatus& as) {
    ignoreResult(::fchown(fd, as.owner, as.group),
                 "the owner is kept where permitted, as mv keeps it");
    return ::fchmod(fd, as.mode) == 0 ? 0 : errno;
}

int flushAll(const std::vector<int>& fds) {
    for (const int error : flushEach(fds)) {
        if (error != 0) {
            return error;
        }
    }
    return 0;
}

}  // namespace

// The most flushes waited for at once. Flushes that wait together share the disk's cache flushes
// (the block layer merges those that meet in its queue), where one after another each pays its
// own.
constexpr std::size_t kFlushers = 8;

std::vector<int> flushEach(const std::vector<int>& fds) {
    std::vector<int> errors(fds.size(), 0);
    if (fds.size() == 1) {
        errors[0] = ::fsync(fds[0]) == 0 ? 0 : errno;
    }
    if (fds.size() <= 1) {
        return errors;
    }
    std::atomic<std::size_t> next{0};
    const auto flush = [&] {
        for (std::size_t i = next++; i < fds.size(); i = next++) {
            errors[i] = ::fsync(fds[i]) == 0 ? 0 : errno;
        }
    };
    std::vector<std::thread> flushers;
    const std::size_t helpers = std::min(kFlushers, fds.size()) - 1;
    flushers.reserve(helpers);
    for (std::size_t i = 0; i < helpers; ++i) {
        try {
            flushers.emplace_back(flush);
        } catch (const std::system_error&) {
            break;  // no thread to be had: the ones there are, this one included, do the rest
        }
    }
    flush();
    for (auto& flusher : flushers) {
        flusher.join();
    }
    return errors;
}

int copyExtendedAttributes(int inDir, const std::string& inName, int outDir,
                           const std::string& outName) {
    // Links, FIFOs and devices cannot be opened for this, so by the entry's path through its
    // folder's descriptor, which no rename above it changes.
    const std::string in = "/proc/self/fd/" + std::to_string(inDir) + "/" + inName;
    const std::string out = "/proc/self/fd/" + std::to_string(outDir) + "/" + outName;
    return copyAttributes(
        [&](char* list, std::size_t size) { return ::llistxattr(in.c_str(), list, size); },
        [&](const char* name, void* value, std::size_t size) {
            return ::lgetxattr(in.c_str(), name, value, size);
        },
        [&](const char* name, const void* value, std::size_t size) {
            return ::lsetxattr(out.c_str(), name, value, size, 0);
        });
}

Result<FolderHandle> PosixDirectoryHandles::openFolder(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return failure();
    }
    return handle(fd);
}

Result<FolderHandle> PosixDirectoryHandles::openFolderAt(const FolderHandle& parent,
                                                         const std::string& name) {
    const int fd =
        ::openat(fdOf(parent), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return failure();
    }
    return handle(fd);
}

Result<std::vector<std::string>> PosixDirectoryHandles::list(const FolderHandle& folder) {
    const int copy = ::dup(fdOf(folder));
    if (copy < 0) {
        return failure();
    }
    const std::unique_ptr<DIR, DirCloser> dir(::fdopendir(copy));
    if (!dir) {
        const int error = errno;
        ::close(copy);
        return failure(error);
    }
    ::rewinddir(dir.get());
    std::vector<std::string> names;
    while (true) {
        errno = 0;
        const dirent* entry = ::readdir(dir.get());
        if (entry == nullptr) {
            if (errno != 0) {
                return failure();
            }
            return names;
        }
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") {
            names.emplace_back(name);
        }
    }
}

Result<EntryStatus> PosixDirectoryHandles::status(const FolderHandle& parent,
                                                  const std::string& name) {
    struct stat info {};
    if (::fstatat(fdOf(parent), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return failure();
    }
    return entryStatus(info);
}

Result<EntryStatus> PosixDirectoryHandles::status(const FolderHandle& folder) {
    struct stat info {};
    if (::fstat(fdOf(folder), &info) != 0) {
        return failure();
    }
    return entryStatus(info);
}

std::string PosixDirectoryHandles::currentPath(const FolderHandle& folder) {
    const std::string link = "/proc/self/fd/" + std::to_string(fdOf(folder));
    std::string path(4096, '\0');
    while (true) {
        const ssize_t length = ::readlink(link.c_str(), path.data(), path.size());
        if (length < 0) {
            return {};
        }
        if (static_cast<std::size_t>(length) < path.size()) {
            path.resize(static_cast<std::size_t>(length));
            break;
        }
        path.resize(path.size() * 2);
    }
    constexpr std::string_view kDeleted = " (deleted)";
    if (path.empty() || path.front() != '/' ||
        (path.size() > kDeleted.size() &&
         path.compare(path.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0)) {
        return {};
    }
    return path;
}

Status PosixDirectoryHandles::copyFile(const FolderHandle& from, const std::string& fromName,
                                       const FolderHandle& to, const std::string& toName,
                                       const EntryStatus& as, CopyProgress* progress) {
    const UniqueFd in(::openat(fdOf(from), fromName.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!in.valid()) {
        return failure();
    }
    UniqueFd out(::openat(fdOf(to), toName.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out.valid()) {
        return failure();
    }
    struct stat info {};
    int error = ::fstat(in.get(), &info) == 0 ? 0 : errno;
    bool cancelled = false;
    // Copies [offset, offset + length) at the same place in the copy.
    const auto copyRange = [&](off_t offset, off_t length) {
        off_t inOffset = offset;
        off_t outOffset = offset;
        bool positioned = false;
        while (length > 0) {
            if (progress != nullptr && progress->cancelRequested()) {
                cancelled = true;
                return ECANCELED;
            }
            const auto want = static_cast<std::size_t>(std::min<off_t>(length, kChunk));
            ssize_t done = -1;
            if (method_ == Method::copyFileRange) {
                done = ::copy_file_range(in.get(), &inOffset, out.get(), &outOffset, want, 0);
                if (done < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS ||
                                 errno == EOPNOTSUPP || errno == EPERM)) {
                    method_ = Method::sendFile;
                    continue;
                }
            } else if (method_ == Method::sendFile) {
                if (!positioned) {
                    if (::lseek(out.get(), inOffset, SEEK_SET) < 0) {
                        return errno;
                    }
                    positioned = true;
                }
                done = ::sendfile(out.get(), in.get(), &inOffset, want);
                if (done < 0 && (errno == EINVAL || errno == ENOSYS)) {
                    method_ = Method::readWrite;
                    continue;
                }
            } else {
                std::vector<char> buffer(std::min<std::size_t>(want, std::size_t{1} << 20));
                done = ::pread(in.get(), buffer.data(), buffer.size(), inOffset);
                if (done > 0) {
                    if (::lseek(out.get(), inOffset, SEEK_SET) < 0 ||
                        !writeAll(out.get(), std::string_view(buffer.data(),
                                                              static_cast<std::size_t>(done)))) {
                        return errno;
                    }
                    inOffset += done;
                }
            }
            if (done < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return errno;
            }
            if (done == 0) {
                break;  // the file shrank meanwhile; the caller tells by its status
            }
            outOffset = inOffset;
            length -= done;
            if (progress != nullptr) {
                progress->copied(static_cast<std::uint64_t>(done));
            }
        }
        return 0;
    };
    const off_t size = info.st_size;
    if (error == 0 && info.st_blocks * 512 >= size) {
        error = copyRange(0, size);
    } else if (error == 0) {
        // Fewer blocks than bytes: a sparse file. Only its data ranges are copied.
        off_t offset = 0;
        while (error == 0 && offset < size) {
            const off_t data = ::lseek(in.get(), offset, SEEK_DATA);
            if (data < 0) {
                if (errno != ENXIO) {
                    // No way to find the data: all of the rest is copied.
                    error = copyRange(offset, size - offset);
                    offset = size;
                }
                break;  // ENXIO: nothing but a hole from here to the end
            }
            off_t hole = ::lseek(in.get(), data, SEEK_HOLE);
            if (hole < 0) {
                error = errno;
                break;
            }
            hole = std::min(hole, size);
            if (progress != nullptr && data > offset) {
                progress->copied(static_cast<std::uint64_t>(data - offset));
            }
            error = copyRange(data, hole - data);
            offset = hole;
        }
        if (error == 0 && progress != nullptr && offset < size) {
            progress->copied(static_cast<std::uint64_t>(size - offset));
        }
        if (error == 0 && ::ftruncate(out.get(), size) != 0) {
            error = errno;
        }
    }
    if (error == 0) {
        error = applyOwnerAndMode(out.get(), as);
    }
    if (error == 0) {
        // After the mode, as an access ACL sets the group bits of the mode.
        error = copyAttributesOfFd(in.get(), out.get());
    }
    if (error == 0) {
        const timespec times[2] = {{as.accessed.seconds, as.accessed.nanoseconds},
                                   {as.modified.seconds, as.modified.nanoseconds}};
        error = ::futimens(out.get(), times) == 0 ? 0 : errno;
    }
    if (error != 0) {
        out.reset();
        ignoreResult(::unlinkat(fdOf(to), toName.c_str(), 0),
                     "a copy that failed half-way is no copy; the failure is what is reported");
        if (cancelled) {
            return Error{ErrorKind::cancelled, failure(ECANCELED).description};
        }
        return failure(error);
    }
    // Writeback starts now, so the flush at the end finds the data on its way to the disk.
    ignoreResult(::sync_file_range(out.get(), 0, 0, SYNC_FILE_RANGE_WRITE),
                 "only a hint; the flush waits for the data whatever it answers");
    unflushed_.push_back(std::move(out));
    if (unflushed_.size() >= kFlushBatch) {
        if (const int flushed = flushFiles(); flushed != 0) {
            return failure(flushed);
        }
    }
    return {};
}

Status PosixDirectoryHandles::makeFolder(const FolderHandle& parent, const std::string& name) {
    return statusOf(::mkdirat(fdOf(parent), name.c_str(), 0700));
}

Status PosixDirectoryHandles::makeSymlink(const FolderHandle& parent, const std::string& name,
                                          const std::string& target) {
    return statusOf(::symlinkat(target.c_str(), fdOf(parent), name.c_str()));
}

Result<std::string> PosixDirectoryHandles::readSymlink(const FolderHandle& parent,
                                                       const std::string& name) {
    std::string target(256, '\0');
    while (true) {
        const ssize_t length =
            ::readlinkat(fdOf(parent), name.c_str(), target.data(), target.size());
        if (length < 0) {
            return failure();
        }
        if (static_cast<std::size_t>(length) < target.size()) {
            target.resize(static_cast<std::size_t>(length));
            return target;
        }
        target.resize(target.size() * 2);
    }
}

Status PosixDirectoryHandles::makeHardLink(const FolderHandle& to, const std::string& toName,
                                           const FolderHandle& parent, const std::string& name) {
    return statusOf(::linkat(fdOf(to), toName.c_str(), fdOf(parent), name.c_str(), 0));
}

Status PosixDirectoryHandles::makeNode(const FolderHandle& parent, const std::string& name,
                                       const EntryStatus& as) {
    if (as.type == EntryStatus::Type::file || as.type == EntryStatus::Type::folder ||
        as.type == EntryStatus::Type::symlink) {
        return failure(EINVAL);
    }
    return statusOf(::mknodat(fdOf(parent), name.c_str(), formatOf(as.type) | (as.mode & 07777),
                              static_cast<dev_t>(as.deviceNumber)));
}

Status PosixDirectoryHandles::applyMetadata(const FolderHandle& from, const std::string& fromName,
                                            const FolderHandle& to, const std::string& toName,
                                            const EntryStatus& as) {
    const int dir = fdOf(to);
    ignoreResult(::fchownat(dir, toName.c_str(), as.owner, as.group, AT_SYMLINK_NOFOLLOW),
                 "the owner is kept where permitted, as mv keeps it");
    if (as.type != EntryStatus::Type::symlink && ::fchmodat(dir, toName.c_str(), as.mode, 0) != 0) {
        return failure();
    }
    if (const int error = copyExtendedAttributes(fdOf(from), fromName, dir, toName); error != 0) {
        return failure(error);
    }
    const timespec times[2] = {{as.accessed.seconds, as.accessed.nanoseconds},
                               {as.modified.seconds, as.modified.nanoseconds}};
    return statusOf(::utimensat(dir, toName.c_str(), times, AT_SYMLINK_NOFOLLOW));
}

Status PosixDirectoryHandles::renameNoReplace(const FolderHandle& fromParent,
                                              const std::string& fromName,
                                              const FolderHandle& toParent,
                                              const std::string& toName) {
    return statusOf(::renameat2(fdOf(fromParent), fromName.c_str(), fdOf(toParent), toName.c_str(),
                                RENAME_NOREPLACE));
}

Status PosixDirectoryHandles::remove(const FolderHandle& parent, const std::string& name,
                                     bool folder) {
    if (::unlinkat(fdOf(parent), name.c_str(), folder ? AT_REMOVEDIR : 0) == 0) {
        return {};
    }
    // unlinkat answers EPERM (Linux) or EISDIR for a folder removed as a file.
    const int error = errno;
    struct stat info {};
    if (!folder && (error == EPERM || error == EISDIR) &&
        ::fstatat(fdOf(parent), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(info.st_mode)) {
        return failure(EISDIR);
    }
    return failure(error == EEXIST ? ENOTEMPTY : error);
}

int PosixDirectoryHandles::flushFiles() {
    std::vector<int> fds;
    fds.reserve(unflushed_.size());
    for (const auto& fd : unflushed_) {
        fds.push_back(fd.get());
    }
    int error = flushAll(fds);
    for (auto& fd : unflushed_) {
        if (const int closed = fd.close(); error == 0 && closed != 0) {
            error = closed;
        }
    }
    unflushed_.clear();
    return error;
}

Status PosixDirectoryHandles::flushWritten(const std::vector<const FolderHandle*>& folders) {
    int error = flushFiles();
    std::vector<int> fds;
    fds.reserve(folders.size());
    for (const FolderHandle* folder : folders) {
        fds.push_back(fdOf(*folder));
    }
    if (error == 0) {
        error = flushAll(fds);
    }
    return error == 0 ? Status{} : Status{failure(error)};
}

Status PosixDirectoryHandles::setMode(const FolderHandle& parent, const std::string& name,
                                      unsigned mode) {
    return statusOf(::fchmodat(fdOf(parent), name.c_str(), mode, 0));
}

Status PosixDirectoryHandles::checkMayChange(const FolderHandle& folder) {
    return statusOf(::faccessat(fdOf(folder), ".", W_OK | X_OK, AT_EACCESS));
}

Error PosixDirectoryHandles::failureOf(ErrorKind kind) {
    switch (kind) {
        case ErrorKind::notFound:
            return failure(ENOENT);
        case ErrorKind::alreadyExists:
            return failure(EEXIST);
        case ErrorKind::invalidArgument:
            return failure(EINVAL);
        case ErrorKind::cancelled:
            return Error{ErrorKind::cancelled, failure(ECANCELED).description};
        case ErrorKind::changedMeanwhile:
            return Error{ErrorKind::changedMeanwhile, failure(EBUSY).description};
        default:
            return Error{kind, failure(EIO).description};
    }
}

void PosixDirectoryHandles::close(std::intptr_t id) {
    ::close(static_cast<int>(id));
}

}  // namespace quenta::linux_platform
