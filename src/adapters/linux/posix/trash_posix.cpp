#include "adapters/linux/posix/trash_posix.hpp"

#include "adapters/linux/posix/file_system_posix.hpp"
#include "adapters/linux/posix/posix_error.hpp"
#include "adapters/linux/posix/unique_fd.hpp"
#include "core/shared/file_paths.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <utility>

namespace quenta::linux_platform {

namespace {

constexpr std::size_t kNameMax = NAME_MAX;
constexpr std::string_view kInfoSuffix = ".trashinfo";
constexpr int kMostNameTries = 100000;
constexpr int kMostMoveTries = 16;

Error refusal(ErrorKind kind, std::string description) {
    return Error{kind, std::move(description)};
}

// The item as it will be moved: its absolute path with the links of its parent folders resolved
// (the item itself, a link included, is what moves), and its status.
struct Item {
    std::string path;
    std::string name;
    struct stat status {};
};

// Folders resolved once for all the items of a call that share them.
using ResolvedFolders = std::map<std::string, std::string>;

Result<Item> examineItem(const std::string& given, ResolvedFolders& resolvedFolders) {
    if (given.empty()) {
        return errorFromErrno(ENOENT);
    }
    std::string path = given;
    if (path.front() != '/') {
        std::string cwd(PATH_MAX, '\0');
        if (::getcwd(cwd.data(), cwd.size()) == nullptr) {
            return errorFromErrno(errno);
        }
        cwd.resize(std::char_traits<char>::length(cwd.c_str()));
        path = appendingPathComponent(cwd, path);
    }
    path = trimmingTrailingSlashes(path);

    Item item;
    std::string name = lastPathComponent(path);
    if (path == "/" || name == "." || name == "..") {
        // Nothing to keep unresolved: the path names a folder through "." or "..".
        const auto resolved = realPath(path);
        if (!resolved) {
            return errorFromErrno(errno);
        }
        item.path = *resolved;
    } else {
        const std::string parent = parentPath(path);
        auto folder = resolvedFolders.find(parent);
        if (folder == resolvedFolders.end()) {
            const auto resolved = realPath(parent);
            if (!resolved) {
                return errorFromErrno(errno);
            }
            folder = resolvedFolders.emplace(parent, *resolved).first;
        }
        item.path = appendingPathComponent(folder->second, name);
    }
    item.name = item.path == "/" ? "/" : lastPathComponent(item.path);
    if (::lstat(item.path.c_str(), &item.status) != 0) {
        return errorFromErrno(errno);
    }
    return item;
}

// "YYYY-MM-DDThh:mm:ss" in local time.
std::string localDeletionDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return std::string(text, length);
}

// The name in the trash for attempt `n` (1, 2, ...): the item's name, then name.2, name.3 ... cut
// short (at a character boundary) so that the info file's name still fits the filesystem.
std::string candidateName(const std::string& name, int n) {
    const std::string suffix = n == 1 ? std::string() : "." + std::to_string(n);
    const std::size_t room = kNameMax - kInfoSuffix.size() - suffix.size();
    std::string base = name;
    if (base.size() > room) {
        std::size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(base[cut]) & 0xC0U) == 0x80U) {
            --cut;  // never split a UTF-8 sequence
        }
        base.resize(cut == 0 ? room : cut);
    }
    return base + suffix;
}

// Opens folder `name` in `parent`, creating it with mode 0700 when missing; a symbolic link or
// anything that is not a folder is refused.
Result<UniqueFd> openTrashFolder(int parent, const std::string& name,
                                 const std::string& shownPath) {
    if (::mkdirat(parent, name.c_str(), 0700) != 0 && errno != EEXIST) {
        return errorFromErrno(errno, shownPath);
    }
    const int fd = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ELOOP || errno == ENOTDIR) {
            return refusal(ErrorKind::permissionDenied,
                           "The Trash folder " + shownPath +
                               " is a symbolic link or not a folder, so it is not used.");
        }
        return errorFromErrno(errno, shownPath);
    }
    return UniqueFd(fd);
}

// An opened trash: its folder and its files/ and info/ folders, never reached through links.
struct TrashFolders {
    std::string path;
    std::string topDirectory;  // empty for the home trash, whose Path values are absolute
    UniqueFd files;
    UniqueFd info;
};

Result<std::unique_ptr<TrashFolders>> openTrash(const std::string& path,
                                                const std::string& topDirectory, dev_t device) {
    UniqueFd folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.valid()) {
        if (errno == ELOOP || errno == ENOTDIR) {
            return refusal(ErrorKind::permissionDenied,
                           "The Trash folder " + path +
                               " is a symbolic link or not a folder, so it is not used.");
        }
        return errorFromErrno(errno, path);
    }
    struct stat status {};
    if (::fstat(folder.get(), &status) != 0) {
        return errorFromErrno(errno, path);
    }
    if (status.st_dev != device) {
        return refusal(ErrorKind::crossDevice,
                       "The Trash folder " + path + " is on another filesystem than the item.");
    }
    auto files = openTrashFolder(folder.get(), "files", appendingPathComponent(path, "files"));
    if (!files) {
        return files.error();
    }
    auto info = openTrashFolder(folder.get(), "info", appendingPathComponent(path, "info"));
    if (!info) {
        return info.error();
    }
    auto trash = std::make_unique<TrashFolders>();
    trash->path = path;
    trash->topDirectory = topDirectory;
    trash->files = std::move(files).value();
    trash->info = std::move(info).value();
    return trash;
}

// Creates every missing folder of `path` with mode 0700, as the XDG base directories want.
int makeFolders(const std::string& path) {
    if (path == "/" || ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST) {
        return 0;
    }
    if (errno != ENOENT) {
        return errno;
    }
    if (const int failed = makeFolders(parentPath(path)); failed != 0) {
        return failed;
    }
    return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST ? 0 : errno;
}

// The folder that holds the home trash: $XDG_DATA_HOME, else ~/.local/share.
std::string dataHome() {
    return xdgBaseDirectory("XDG_DATA_HOME", ".local/share");
}

// True when the first component of `path` below `topDirectory` names a top-directory trash.
bool isInTopDirectoryTrash(const std::string& path, const std::string& topDirectory) {
    if (path == topDirectory || !isSameOrInsidePath(path, topDirectory)) {
        return false;
    }
    const std::size_t start = topDirectory == "/" ? 1 : topDirectory.size() + 1;
    const std::string first = path.substr(start, path.find('/', start) - start);
    return first == ".Trash" || first.rfind(".Trash-", 0) == 0;
}

}  // namespace

std::string encodedTrashPath(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(path.size());
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
            (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
            byte == '~' || byte == '/') {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4U];
            encoded += kHex[byte & 0x0FU];
        }
    }
    return encoded;
}

// The top directory of the folder `path` is in, as found for earlier items of the same call.
struct FolderTop {
    dev_t device = 0;
    std::string topDirectory;
};
using FolderTops = std::map<std::string, FolderTop>;

// The topmost folder above the item (itself included) on the item's own filesystem: the mount
// point. Items mostly share their folder, so each folder's answer is looked up once.
std::string topDirectoryOf(const std::string& path, dev_t device, FolderTops& folderTops) {
    if (path == "/") {
        return path;
    }
    const std::string parent = parentPath(path);
    auto known = folderTops.find(parent);
    if (known == folderTops.end()) {
        struct stat status {};
        if (::stat(parent.c_str(), &status) != 0) {
            return path;
        }
        std::string top = parent;
        while (top != "/") {
            const std::string above = parentPath(top);
            struct stat aboveStatus {};
            if (::stat(above.c_str(), &aboveStatus) != 0 || aboveStatus.st_dev != status.st_dev) {
                break;
            }
            top = above;
        }
        known = folderTops.emplace(parent, FolderTop{status.st_dev, std::move(top)}).first;
    }
    return known->second.device == device ? known->second.topDirectory : path;
}

Result<std::string> topDirectoryTrash(const std::string& topdir, uid_t uid) {
    const UniqueFd top(::open(topdir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!top.valid()) {
        return errorFromErrno(errno, topdir);
    }
    const std::string user = std::to_string(uid);
    const auto ownFolder = [uid](const struct stat& status) {
        return S_ISDIR(status.st_mode) && status.st_uid == uid;
    };

    // $topdir/.Trash/$uid, only under a real, sticky .Trash that an administrator set up.
    struct stat shared {};
    if (::fstatat(top.get(), ".Trash", &shared, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(shared.st_mode) && (shared.st_mode & S_ISVTX) != 0) {
        const UniqueFd sharedFd(
            ::openat(top.get(), ".Trash", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (sharedFd.valid()) {
            ignoreResult(::mkdirat(sharedFd.get(), user.c_str(), 0700),
                         "the folder may exist already; the check below decides");
            struct stat own {};
            if (::fstatat(sharedFd.get(), user.c_str(), &own, AT_SYMLINK_NOFOLLOW) == 0 &&
                ownFolder(own)) {
                return appendingPathComponent(appendingPathComponent(topdir, ".Trash"), user);
            }
        }
    }

    // $topdir/.Trash-$uid, the user's own.
    const std::string name = ".Trash-" + user;
    const std::string path = appendingPathComponent(topdir, name);
    std::string reason;
    if (::mkdirat(top.get(), name.c_str(), 0700) != 0 && errno != EEXIST) {
        reason = errorFromErrno(errno).description;
    } else {
        struct stat own {};
        if (::fstatat(top.get(), name.c_str(), &own, AT_SYMLINK_NOFOLLOW) != 0) {
            reason = errorFromErrno(errno).description;
        } else if (S_ISLNK(own.st_mode) || !S_ISDIR(own.st_mode)) {
            reason = path + " is a symbolic link or not a folder";
        } else if (own.st_uid != uid) {
            reason = path + " belongs to another user";
        } else {
            return path;
        }
    }
    return refusal(ErrorKind::unsupported, "No Trash can be used on the filesystem mounted at " +
                                               topdir + " (" + reason +
                                               "); the item was left where it is.");
}

// What the items of one call share: the trashes opened so far, and the home trash's location.
struct PosixTrash::Batch {
    // Flush every info file (and its folder) on its own; a batch flushes each filesystem once.
    bool flushEachInfoFile = true;
    bool homeLocated = false;
    std::string homeTrash;  // $XDG_DATA_HOME/Trash with links resolved
    dev_t homeDevice = 0;
    std::optional<Error> homeError;
    std::map<std::string, std::unique_ptr<TrashFolders>> trashes;
    ResolvedFolders resolvedFolders;
    FolderTops folderTops;

    // An item whose info file is written and which waits for its move.
    struct Pending {
        std::size_t index = 0;
        Item item;
        TrashFolders* trash = nullptr;
        std::string name;
    };

    void locateHome() {
        if (homeLocated) {
            return;
        }
        homeLocated = true;
        const std::string folder = dataHome();
        const int failed = makeFolders(folder);
        // The filesystem of the data home decides which items go to the home trash, so it is
        // known even when the folder cannot be made: the nearest existing folder above holds it.
        std::string existing = folder;
        struct stat status {};
        while (::stat(existing.c_str(), &status) != 0 && existing != "/") {
            existing = parentPath(existing);
        }
        homeDevice = status.st_dev;
        const auto resolved = realPath(folder);
        if (failed != 0 || !resolved) {
            homeError = errorFromErrno(failed != 0 ? failed : errno, folder);
            return;
        }
        homeTrash = appendingPathComponent(*resolved, "Trash");
    }

    Result<TrashFolders*> trashFor(const Item& item) {
        const std::string topdir = topDirectoryOf(item.path, item.status.st_dev, folderTops);
        const bool home = item.status.st_dev == homeDevice;
        if (!homeError && item.path == homeTrash) {
            return refusal(ErrorKind::invalidArgument,
                           "The Trash itself cannot be moved to the Trash.");
        }
        if (isInTopDirectoryTrash(item.path, topdir) ||
            (!homeError && isSameOrInsidePath(item.path, homeTrash))) {
            return refusal(ErrorKind::invalidArgument,
                           "Items in the Trash cannot be moved to the Trash.");
        }
        if ((!homeError && isSameOrInsidePath(homeTrash, item.path)) ||
            (!home && item.path == topdir)) {
            return refusal(ErrorKind::invalidArgument,
                           "A folder that holds the Trash cannot be moved to the Trash.");
        }

        std::string path;
        std::string relativeTo;
        if (home) {
            if (homeError) {
                return *homeError;
            }
            path = homeTrash;
            if (const auto found = trashes.find(path); found != trashes.end()) {
                return found->second.get();
            }
            if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
                return errorFromErrno(errno, path);
            }
        } else {
            auto chosen = topDirectoryTrash(topdir, ::geteuid());
            if (!chosen) {
                return chosen.error();
            }
            path = chosen.value();
            relativeTo = topdir;
            if (const auto found = trashes.find(path); found != trashes.end()) {
                return found->second.get();
            }
        }
        auto opened = openTrash(path, relativeTo, item.status.st_dev);
        if (!opened) {
            return opened.error();
        }
        TrashFolders* trash = opened.value().get();
        trashes.emplace(path, std::move(opened).value());
        return trash;
    }

    // Finds the item's trash and a free name there, and writes the item's info file.
    Result<Pending> prepare(std::size_t index, const std::string& given,
                            const TrashFaults& faults) {
        auto examined = examineItem(given, resolvedFolders);
        if (!examined) {
            return examined.error();
        }
        Item& item = examined.value();
        locateHome();
        auto found = trashFor(item);
        if (!found) {
            return found.error();
        }
        TrashFolders* trash = found.value();

        std::string original = item.path;
        if (!trash->topDirectory.empty()) {
            original =
                item.path.substr(trash->topDirectory == "/" ? 1 : trash->topDirectory.size() + 1);
        }
        const std::string contents = "[Trash Info]\nPath=" + encodedTrashPath(original) +
                                     "\nDeletionDate=" + localDeletionDate() + "\n";

        for (int n = 1; n <= kMostNameTries; ++n) {
            const std::string name = candidateName(item.name, n);
            // An item left in files/ without its info file keeps its name: never overwritten.
            struct stat leftover {};
            if (::fstatat(trash->files.get(), name.c_str(), &leftover, AT_SYMLINK_NOFOLLOW) == 0) {
                continue;
            }
            if (errno != ENOENT) {
                return errorFromErrno(errno);
            }
            const std::string infoName = name + std::string(kInfoSuffix);
            UniqueFd fd(::openat(trash->info.get(), infoName.c_str(),
                                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
            if (!fd.valid()) {
                if (errno == EEXIST) {
                    continue;
                }
                return errorFromErrno(errno);
            }
            int failed = faults.writeInfo ? faults.writeInfo(item.path) : 0;
            if (failed == 0 && !writeAll(fd.get(), contents)) {
                failed = errno;
            }
            if (failed == 0 && flushEachInfoFile && ::fsync(fd.get()) != 0) {
                failed = errno;
            }
            if (const int closed = fd.close(); failed == 0) {
                failed = closed;
            }
            if (failed == 0 && flushEachInfoFile && ::fsync(trash->info.get()) != 0) {
                failed = errno;
            }
            if (failed != 0) {
                ::unlinkat(trash->info.get(), infoName.c_str(), 0);
                return errorFromErrno(failed);
            }
            return Pending{index, std::move(item), trash, name};
        }
        return refusal(ErrorKind::alreadyExists, "No free name is left in the Trash for the item.");
    }

    // Renames the item into files/; on failure removes its info file and answers the errno.
    static int move(const Pending& pending, const TrashFaults& faults) {
        int failed = faults.move ? faults.move(pending.item.path) : 0;
        if (failed == 0 &&
            ::renameat2(AT_FDCWD, pending.item.path.c_str(), pending.trash->files.get(),
                        pending.name.c_str(), RENAME_NOREPLACE) != 0) {
            failed = errno;
        }
        if (failed != 0) {
            const std::string infoName = pending.name + std::string(kInfoSuffix);
            ::unlinkat(pending.trash->info.get(), infoName.c_str(), 0);
        }
        return failed;
    }
};

Status PosixTrash::trashAlone(const std::string& path, Batch& batch) const {
    batch.flushEachInfoFile = true;
    // A name taken in files/ between the test and the move makes another name be tried.
    for (int attempt = 0; attempt < kMostMoveTries; ++attempt) {
        auto pending = batch.prepare(0, path, faults_);
        if (!pending) {
            return pending.error();
        }
        const int failed = Batch::move(pending.value(), faults_);
        if (failed == 0) {
            return {};
        }
        if (failed != EEXIST) {
            return errorFromErrno(failed);
        }
    }
    return errorFromErrno(EEXIST);
}

std::vector<Status> PosixTrash::trash(const std::vector<std::string>& paths) const {
    std::vector<Status> outcomes(paths.size());
    Batch batch;
    if (paths.size() == 1) {
        outcomes[0] = trashAlone(paths[0], batch);
        return outcomes;
    }

    batch.flushEachInfoFile = false;
    std::vector<Batch::Pending> pending;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        auto prepared = batch.prepare(i, paths[i], faults_);
        if (prepared) {
            pending.push_back(std::move(prepared).value());
        } else {
            outcomes[i] = prepared.error();
        }
    }

    // Every info file is on disk before any item moves: one flush per filesystem for all of them.
    std::map<const TrashFolders*, int> flushFailures;
    for (const auto& waiting : pending) {
        if (flushFailures.count(waiting.trash) == 0) {
            flushFailures[waiting.trash] = ::syncfs(waiting.trash->info.get()) == 0 ? 0 : errno;
        }
    }

    for (const auto& waiting : pending) {
        int failed = flushFailures[waiting.trash];
        if (failed != 0) {
            const std::string infoName = waiting.name + std::string(kInfoSuffix);
            ::unlinkat(waiting.trash->info.get(), infoName.c_str(), 0);
        } else {
            failed = Batch::move(waiting, faults_);
        }
        if (failed == EEXIST) {
            outcomes[waiting.index] = trashAlone(paths[waiting.index], batch);
        } else if (failed != 0) {
            outcomes[waiting.index] = errorFromErrno(failed);
        }
    }
    return outcomes;
}

}  // namespace quenta::linux_platform
