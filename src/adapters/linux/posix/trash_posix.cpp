#include "adapters/linux/posix/trash_posix.hpp"

#include "adapters/linux/posix/directory_handles_posix.hpp"
#include "adapters/linux/posix/file_system_posix.hpp"
#include "adapters/linux/posix/own_files.hpp"
#include "adapters/linux/posix/posix_error.hpp"
#include "adapters/linux/posix/unique_fd.hpp"
#include "adapters/linux/posix/unnamed_file.hpp"
#include "core/shared/file_paths.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
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
#include <vector>

namespace quenta::linux_platform {

namespace {

constexpr std::size_t kNameMax = NAME_MAX;
constexpr std::string_view kInfoSuffix = ".trashinfo";
constexpr int kMostNameTries = 100000;
constexpr int kMostMoveTries = 16;
// The info files written before their items move, flushed together: at most this many are left
// without their item when the process is killed (a later trash removes them).
constexpr std::size_t kMostPendingInfoFiles = 64;

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
    dev_t infoDevice = 0;
    ino_t infoInode = 0;
    bool unnamedFiles = true;  // whether info files can be written unnamed here
    bool moved = false;        // whether an item of this call moved into files/
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
    struct stat infoStatus {};
    if (::fstat(trash->info.get(), &infoStatus) != 0) {
        return errorFromErrno(errno, path);
    }
    trash->infoDevice = infoStatus.st_dev;
    trash->infoInode = infoStatus.st_ino;
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

std::optional<std::string> decodedTrashPath(std::string_view encoded) {
    const auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    };
    std::string decoded;
    decoded.reserve(encoded.size());
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        if (encoded[i] != '%') {
            decoded += encoded[i];
            continue;
        }
        if (i + 2 >= encoded.size()) {
            return std::nullopt;
        }
        const int high = digit(encoded[i + 1]);
        const int low = digit(encoded[i + 2]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return decoded;
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

bool hasUsableTrash(const std::string& path) {
    struct stat item {};
    if (::lstat(path.c_str(), &item) != 0) {
        return true;
    }
    std::string existing = dataHome();
    struct stat home {};
    while (::stat(existing.c_str(), &home) != 0 && existing != "/") {
        existing = parentPath(existing);
    }
    if (home.st_dev == item.st_dev) {
        return true;
    }
    FolderTops folderTops;
    const std::string topdir = topDirectoryOf(path, item.st_dev, folderTops);
    const UniqueFd top(::open(topdir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!top.valid()) {
        return false;
    }
    const uid_t uid = ::geteuid();
    const std::string user = std::to_string(uid);
    struct stat found {};
    if (::fstatat(top.get(), ".Trash", &found, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(found.st_mode) && (found.st_mode & S_ISVTX) != 0) {
        const std::string own = ".Trash/" + user;
        if (::fstatat(top.get(), own.c_str(), &found, AT_SYMLINK_NOFOLLOW) == 0
                ? S_ISDIR(found.st_mode) && found.st_uid == uid
                : ::faccessat(top.get(), ".Trash", W_OK | X_OK, AT_EACCESS) == 0) {
            return true;
        }
    }
    const std::string own = ".Trash-" + user;
    if (::fstatat(top.get(), own.c_str(), &found, AT_SYMLINK_NOFOLLOW) == 0) {
        return S_ISDIR(found.st_mode) && found.st_uid == uid;
    }
    return ::faccessat(top.get(), ".", W_OK | X_OK, AT_EACCESS) == 0;
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

// The record of the info files a trash of ours writes, so that an info file whose item never
// moved (the process was killed, or the info file could not be removed after a failed move) is
// removed by a later trash. One journal per trash call in $XDG_STATE_HOME/QuentaApp, locked
// (flock) for as long as its trash runs: a journal nobody holds belongs to a trash that ended. A
// line names an info file by its trash, its name and its inode, recorded before the info file gets
// its name, so only that very file is ever removed, and only while its item is not in files/.
class TrashJournal {
  public:
    TrashJournal() = default;
    TrashJournal(const TrashJournal&) = delete;
    TrashJournal& operator=(const TrashJournal&) = delete;
    ~TrashJournal() { finish(); }

    // Removes the info files left by trashes that ended before their items moved, then opens
    // this trash's own journal. Without a journal folder the trash goes on unrecorded.
    void begin() {
        const std::string folderPath = appendingPathComponent(
            xdgBaseDirectory("XDG_STATE_HOME", ".local/state"), std::string(kJournalFolder));
        auto folder = openOwnFolder(folderPath, CreateFolders::all);
        if (!folder) {
            return;
        }
        folder_ = std::move(folder.value());
        removeLeftovers();
        for (int attempt = 0; attempt < 100 && !journal_.valid(); ++attempt) {
            name_ = std::string(kJournalPrefix) + std::to_string(::getpid()) + "-" +
                    std::to_string(attempt) + std::string(kJournalSuffix);
            journal_ =
                UniqueFd(::openat(folder_.get(), name_.c_str(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
            if (!journal_.valid() && errno != EEXIST) {
                return;
            }
        }
        if (journal_.valid() && ::flock(journal_.get(), LOCK_EX | LOCK_NB) != 0) {
            discard();
        }
    }

    // Records the info file `inode` that is to be named `name` in `trash`.
    void record(const TrashFolders& trash, ino_t inode, const std::string& name) {
        if (!journal_.valid()) {
            return;
        }
        const std::string line = std::to_string(trash.infoDevice) + " " +
                                 std::to_string(trash.infoInode) + " " + std::to_string(inode) +
                                 " " + encodedTrashPath(trash.path) + " " + encodedTrashPath(name) +
                                 "\n";
        if (!writeAll(journal_.get(), line)) {
            // Unrecorded info files could not be told apart later: the trash goes on unrecorded.
            discard();
        }
    }

    // Makes the lines written so far survive a crash of the system too.
    void flush() const {
        if (journal_.valid()) {
            ignoreResult(::fdatasync(journal_.get()),
                         "the journal only helps a later trash to clean up");
        }
    }

    // Ends the journal: removed when every info file it records has its item or is gone, kept
    // (and unlocked) for a later trash to settle otherwise.
    void finish(bool settled = true) {
        if (journal_.valid() && settled) {
            ::unlinkat(folder_.get(), name_.c_str(), 0);
        }
        journal_.reset();
    }

  private:
    static constexpr std::string_view kJournalFolder = "QuentaApp";
    static constexpr std::string_view kJournalPrefix = "trash-";
    static constexpr std::string_view kJournalSuffix = ".journal";
    static constexpr off_t kLongestJournal = 64L * 1024 * 1024;

    void discard() {
        ::unlinkat(folder_.get(), name_.c_str(), 0);
        journal_.reset();
    }

    void removeLeftovers() const {
        const int listed = ::dup(folder_.get());
        DIR* directory = listed < 0 ? nullptr : ::fdopendir(listed);
        if (directory == nullptr) {
            if (listed >= 0) {
                ::close(listed);
            }
            return;
        }
        std::vector<std::string> names;
        while (const dirent* entry = ::readdir(directory)) {
            const std::string_view name = entry->d_name;
            if (name.size() > kJournalPrefix.size() + kJournalSuffix.size() &&
                name.substr(0, kJournalPrefix.size()) == kJournalPrefix &&
                name.substr(name.size() - kJournalSuffix.size()) == kJournalSuffix) {
                names.emplace_back(name);
            }
        }
        ::closedir(directory);
        for (const auto& name : names) {
            settle(name);
        }
    }

    // Settles one journal of a trash that ended: removes the info files it recorded whose item
    // is not in files/, and the journal when nothing of it is left to settle.
    void settle(const std::string& name) const {
        UniqueFd fd(
            ::openat(folder_.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat status {};
        if (!fd.valid() || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
            status.st_uid != ::geteuid() || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 ||
            ::fstat(fd.get(), &status) != 0 || status.st_nlink == 0) {
            return;  // not ours, still held by its trash, or settled by another one meanwhile
        }
        std::string text;
        if (status.st_size > kLongestJournal || !readAll(fd.get(), text)) {
            return;
        }
        bool settled = true;
        std::map<std::string, std::unique_ptr<OpenedTrash>> trashes;
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos) {
                break;  // a line cut short by the end of its trash: its info file never got a name
            }
            settled =
                settleLine(std::string_view(text).substr(start, end - start), trashes) && settled;
            start = end + 1;
        }
        if (settled) {
            ::unlinkat(folder_.get(), name.c_str(), 0);
        }
    }

    struct OpenedTrash {
        UniqueFd files;
        UniqueFd info;
        bool reachable = true;  // false: cannot be opened now (a disk away, an error)
        bool usable = false;    // false: gone, or another folder stands there now
    };

    // One recorded info file; false when it could not be settled now.
    static bool settleLine(std::string_view line,
                           std::map<std::string, std::unique_ptr<OpenedTrash>>& trashes) {
        std::vector<std::string> fields;
        std::size_t start = 0;
        while (start <= line.size() && fields.size() < 5) {
            std::size_t end = line.find(' ', start);
            end = end == std::string_view::npos ? line.size() : end;
            fields.emplace_back(line.substr(start, end - start));
            start = end + 1;
        }
        const auto number = [](const std::string& field) -> std::optional<unsigned long long> {
            if (field.empty() || field.find_first_not_of("0123456789") != std::string::npos) {
                return std::nullopt;
            }
            return std::strtoull(field.c_str(), nullptr, 10);
        };
        if (fields.size() != 5 || !number(fields[0]) || !number(fields[1]) || !number(fields[2])) {
            return true;  // nothing this code wrote
        }
        const auto path = decodedTrashPath(fields[3]);
        const auto name = decodedTrashPath(fields[4]);
        if (!path || !name || name->empty() || name->find('/') != std::string::npos) {
            return true;
        }
        auto& trash = trashes[*path];
        if (!trash) {
            trash = std::make_unique<OpenedTrash>();
            const UniqueFd folder(
                ::open(path->c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            trash->reachable =
                folder.valid() || errno == ENOENT || errno == ELOOP || errno == ENOTDIR;
            if (folder.valid()) {
                trash->files = UniqueFd(::openat(folder.get(), "files",
                                                 O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
                trash->info = UniqueFd(::openat(folder.get(), "info",
                                                O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
                struct stat info {};
                trash->usable = trash->files.valid() && trash->info.valid() &&
                                ::fstat(trash->info.get(), &info) == 0 &&
                                info.st_dev == static_cast<dev_t>(*number(fields[0])) &&
                                info.st_ino == static_cast<ino_t>(*number(fields[1]));
            }
        }
        if (!trash->reachable) {
            return false;  // settled by a later trash, once it can be reached
        }
        if (!trash->usable) {
            return true;  // gone, or another folder stands there now: nothing recorded is in it
        }
        const std::string infoName = *name + std::string(kInfoSuffix);
        struct stat info {};
        if (::fstatat(trash->info.get(), infoName.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            return errno == ENOENT;
        }
        if (info.st_ino != static_cast<ino_t>(*number(fields[2])) || !S_ISREG(info.st_mode) ||
            info.st_uid != ::geteuid()) {
            return true;  // another info file under the same name: never ours to remove
        }
        struct stat item {};
        if (::fstatat(trash->files.get(), name->c_str(), &item, AT_SYMLINK_NOFOLLOW) == 0) {
            return true;  // the item moved: a record like any other
        }
        if (errno != ENOENT) {
            return false;
        }
        return ::unlinkat(trash->info.get(), infoName.c_str(), 0) == 0 || errno == ENOENT;
    }

    UniqueFd folder_;
    UniqueFd journal_;
    std::string name_;
};

// What the items of one call share: the trashes opened so far, the home trash's location and the
// journal of the info files written.
struct PosixTrash::Batch {
    bool homeLocated = false;
    std::string homeTrash;  // $XDG_DATA_HOME/Trash with links resolved
    dev_t homeDevice = 0;
    std::optional<Error> homeError;
    std::map<std::string, std::unique_ptr<TrashFolders>> trashes;
    ResolvedFolders resolvedFolders;
    FolderTops folderTops;
    TrashJournal journal;
    // False once an info file whose item did not move could not be removed.
    bool settled = true;

    // An item whose info file is written and named, and which waits for its flush and its move.
    struct Pending {
        std::size_t index = 0;
        Item item;
        TrashFolders* trash = nullptr;
        std::string name;
        UniqueFd info;
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

    // Removes the info file of an item that did not move; one that cannot be removed stays in
    // the journal for a later trash.
    void removeInfo(const Pending& pending, const TrashFaults& faults) {
        const std::string infoName = pending.name + std::string(kInfoSuffix);
        int failed = faults.removeInfo ? faults.removeInfo(pending.item.path) : 0;
        if (failed == 0 && ::unlinkat(pending.trash->info.get(), infoName.c_str(), 0) != 0) {
            failed = errno;
        }
        if (failed != 0) {
            settled = false;
        }
    }

    // Finds the item's trash and a free name there, and writes the item's info file under that
    // name: whole before it has the name (an unnamed file, linked), recorded in the journal first.
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

        UniqueFd unnamed =
            trash->unnamedFiles ? openUnnamedFile(trash->info.get(), 0600) : UniqueFd();
        if (trash->unnamedFiles && !unnamed.valid()) {
            if (!unnamedFilesUnsupported(errno)) {
                return errorFromErrno(errno);
            }
            trash->unnamedFiles = false;
        }
        struct stat written {};
        if (unnamed.valid()) {
            int failed = faults.writeInfo ? faults.writeInfo(item.path) : 0;
            if (failed == 0 && !writeAll(unnamed.get(), contents)) {
                failed = errno;
            }
            if (failed == 0 && ::fstat(unnamed.get(), &written) != 0) {
                failed = errno;
            }
            if (failed != 0) {
                return errorFromErrno(failed);
            }
            startWriteback(unnamed.get());
        }

        for (int n = 1; n <= kMostNameTries; ++n) {
            std::string name = candidateName(item.name, n);
            // An item left in files/ without its info file keeps its name: never overwritten.
            struct stat leftover {};
            if (::fstatat(trash->files.get(), name.c_str(), &leftover, AT_SYMLINK_NOFOLLOW) == 0) {
                continue;
            }
            if (errno != ENOENT) {
                return errorFromErrno(errno);
            }
            const std::string infoName = name + std::string(kInfoSuffix);
            if (unnamed.valid()) {
                journal.record(*trash, written.st_ino, name);
                const int failed =
                    linkUnnamedFile(unnamed.get(), trash->info.get(), infoName.c_str());
                if (failed == EEXIST) {
                    continue;
                }
                if (failed != 0) {
                    return errorFromErrno(failed);
                }
                return Pending{index, std::move(item), trash, std::move(name), std::move(unnamed)};
            }

            // Where unnamed files cannot be made: created exclusively under its name, recorded at
            // once (a kill between the two leaves this one info file unrecorded).
            UniqueFd fd(::openat(trash->info.get(), infoName.c_str(),
                                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
            if (!fd.valid()) {
                if (errno == EEXIST) {
                    continue;
                }
                return errorFromErrno(errno);
            }
            int failed = ::fstat(fd.get(), &written) == 0 ? 0 : errno;
            if (failed == 0) {
                journal.record(*trash, written.st_ino, name);
                failed = faults.writeInfo ? faults.writeInfo(item.path) : 0;
            }
            if (failed == 0 && !writeAll(fd.get(), contents)) {
                failed = errno;
            }
            Pending pending{index, std::move(item), trash, std::move(name), std::move(fd)};
            if (failed != 0) {
                removeInfo(pending, faults);
                return errorFromErrno(failed);
            }
            startWriteback(pending.info.get());
            return pending;
        }
        return refusal(ErrorKind::alreadyExists, "No free name is left in the Trash for the item.");
    }

    // Starts writing the info file out now, so that the flush before the moves finds it written.
    static void startWriteback(int fd) {
        ignoreResult(::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE),
                     "only a head start for the flush, which checks");
    }

    // Puts every pending info file, and its name, on disk; then moves each item. The outcome of
    // each item goes to `outcomes`; items whose name was taken in files/ meanwhile are answered
    // in `retry`.
    void settle(std::vector<Pending>& pending, std::vector<Status>& outcomes,
                std::vector<std::size_t>& retry, const TrashFaults& faults) {
        std::vector<int> infoFiles;
        infoFiles.reserve(pending.size());
        for (const auto& waiting : pending) {
            infoFiles.push_back(waiting.info.get());
        }
        std::vector<int> flushFailures = flushEach(infoFiles);
        std::map<const TrashFolders*, int> folderFailures;
        for (std::size_t i = 0; i < pending.size(); ++i) {
            auto& waiting = pending[i];
            if (const int closed = waiting.info.close(); flushFailures[i] == 0) {
                flushFailures[i] = closed;
            }
            folderFailures.emplace(waiting.trash, 0);
        }
        for (auto& [trash, failed] : folderFailures) {
            failed = ::fsync(trash->info.get()) == 0 ? 0 : errno;
        }
        journal.flush();

        for (std::size_t i = 0; i < pending.size(); ++i) {
            const auto& waiting = pending[i];
            int failed = flushFailures[i] != 0 ? flushFailures[i] : folderFailures[waiting.trash];
            if (failed == 0) {
                failed = faults.move ? faults.move(waiting.item.path) : 0;
            }
            if (failed == 0 &&
                ::renameat2(AT_FDCWD, waiting.item.path.c_str(), waiting.trash->files.get(),
                            waiting.name.c_str(), RENAME_NOREPLACE) != 0) {
                failed = errno;
            }
            if (failed == 0) {
                waiting.trash->moved = true;
                continue;
            }
            removeInfo(waiting, faults);
            if (failed == EEXIST) {
                retry.push_back(waiting.index);
            } else {
                outcomes[waiting.index] = errorFromErrno(failed);
            }
        }
    }

    // The renames into files/ on disk too, once for the whole call.
    void flushMoves() const {
        for (const auto& [path, trash] : trashes) {
            if (trash->moved) {
                ignoreResult(::fsync(trash->files.get()),
                             "the items are in the Trash; their info files are on disk");
            }
        }
    }
};

std::vector<Status> PosixTrash::trash(const std::vector<std::string>& paths,
                                      const StopRequest* stop) const {
    std::vector<Status> outcomes(paths.size());
    Batch batch;
    batch.journal.begin();

    std::size_t next = 0;
    std::vector<std::size_t> retry;
    bool stopping = false;
    while (next < paths.size() && !stopping) {
        std::vector<Batch::Pending> pending;
        for (; next < paths.size() && pending.size() < kMostPendingInfoFiles; ++next) {
            if (stop != nullptr && stop->stopRequested()) {
                stopping = true;
                break;
            }
            auto prepared = batch.prepare(next, paths[next], faults_);
            if (prepared) {
                pending.push_back(std::move(prepared).value());
            } else {
                outcomes[next] = prepared.error();
            }
        }
        batch.settle(pending, outcomes, retry, faults_);
    }
    // A name taken in files/ between its test and the move makes another name be tried.
    for (int attempt = 0; attempt < kMostMoveTries && !retry.empty(); ++attempt) {
        std::vector<std::size_t> again;
        for (const std::size_t index : retry) {
            std::vector<Batch::Pending> pending;
            auto prepared = batch.prepare(index, paths[index], faults_);
            if (!prepared) {
                outcomes[index] = prepared.error();
                continue;
            }
            pending.push_back(std::move(prepared).value());
            batch.settle(pending, outcomes, again, faults_);
        }
        retry = std::move(again);
    }
    for (const std::size_t index : retry) {
        outcomes[index] = errorFromErrno(EEXIST);
    }
    for (; next < paths.size(); ++next) {
        outcomes[next] = refusal(ErrorKind::cancelled, "Stopped before it was moved.");
    }
    batch.flushMoves();
    batch.journal.finish(batch.settled);
    return outcomes;
}

}  // namespace quenta::linux_platform
