#include "adapters/linux/posix/file_move_posix.hpp"

#include "adapters/linux/posix/file_system_posix.hpp"
#include "adapters/linux/posix/own_files.hpp"
#include "adapters/linux/posix/posix_error.hpp"
#include "adapters/linux/posix/unique_fd.hpp"
#include "core/shared/file_paths.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace quenta::linux_platform {
namespace {

// The most one kernel copy call moves: small enough for progress to advance a few times a second.
constexpr std::size_t kChunk = std::size_t{8} << 20;
constexpr std::string_view kPartialTag = ".quenta-partial-";

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

std::string joined(const std::string& top, const std::string& relative) {
    return relative.empty() ? top : top + "/" + relative;
}

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
            ignoreResult(::fchmod(folder.get(), 0700),
                         "a folder that stays read-only fails the removal below, which reports it");
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

// The start time of a process in clock ticks since boot (field 22 of /proc/PID/stat), or 0 when
// there is no such process.
unsigned long long processStartTime(long pid) {
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    const UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid()) {
        return 0;
    }
    char buffer[1024];
    const ssize_t length = ::read(file.get(), buffer, sizeof buffer - 1);
    if (length <= 0) {
        return 0;
    }
    const std::string_view text(buffer, static_cast<std::size_t>(length));
    const auto close = text.rfind(')');
    if (close == std::string_view::npos) {
        return 0;
    }
    // Fields after the command name start with field 3 (the state); the start time is field 22.
    std::size_t position = close + 1;
    for (int field = 3; field < 22 && position != std::string_view::npos; ++field) {
        position = text.find(' ', position + 1);
    }
    if (position == std::string_view::npos) {
        return 0;
    }
    return std::strtoull(std::string(text.substr(position + 1, 24)).c_str(), nullptr, 10);
}

// "PID-START" of this process, the part of its partial names that tells whether it still runs.
// Worked out again in a forked child, which is a process of its own.
std::string ownerTag() {
    static std::mutex mutex;
    static long taggedPid = 0;
    static std::string tag;
    const std::lock_guard lock(mutex);
    if (const long pid = ::getpid(); pid != taggedPid) {
        tag = std::to_string(pid) + "-" + std::to_string(processStartTime(pid));
        taggedPid = pid;
    }
    return tag;
}

// True when `tag` is "PID-START-XXXXXX" of a process that runs no more, or whose PID now names a
// process started at another time. False where that cannot be told (no /proc).
bool isTagOfGoneProcess(const std::string& tag) {
    unsigned long long pid = 0;
    unsigned long long start = 0;
    char random[7] = {};
    int consumed = 0;
    if (std::sscanf(tag.c_str(), "%llu-%llu-%6[A-Za-z0-9]%n", &pid, &start, random, &consumed) !=
            3 ||
        static_cast<std::size_t>(consumed) != tag.size() || std::strlen(random) != 6) {
        return false;
    }
    if (processStartTime(static_cast<long>(::getpid())) == 0) {
        return false;  // no /proc: liveness cannot be told, so nothing is touched
    }
    return processStartTime(static_cast<long>(pid)) != start;
}

// True when `name` is a partial item of a move whose process is gone: ".NAME" + the tag +
// "PID-START-XXXXXX".
bool isStalePartial(std::string_view name) {
    const auto tag = name.rfind(kPartialTag);
    if (name.empty() || name.front() != '.' || tag == std::string_view::npos) {
        return false;
    }
    return isTagOfGoneProcess(std::string(name.substr(tag + kPartialTag.size())));
}

// Removes the stale partial items in a destination folder, once per folder and process.
void removeStalePartials(int folderFd) {
    // A folder is told by its device, inode and birth time (where the filesystem keeps one), so
    // a new folder that reuses an inode number is looked at again.
    struct statx info {};
    if (::statx(folderFd, "", AT_EMPTY_PATH, STATX_INO | STATX_BTIME, &info) != 0) {
        return;
    }
    using Key = std::tuple<unsigned, unsigned, std::uint64_t, std::int64_t, std::uint32_t>;
    static std::mutex mutex;
    static std::set<Key> cleaned;
    {
        const std::lock_guard lock(mutex);
        if (!cleaned
                 .emplace(info.stx_dev_major, info.stx_dev_minor, info.stx_ino,
                          info.stx_btime.tv_sec, info.stx_btime.tv_nsec)
                 .second) {
            return;
        }
    }
    std::vector<std::string> names;
    if (listNames(folderFd, names) != 0) {
        return;
    }
    for (const auto& name : names) {
        if (isStalePartial(name)) {
            ignoreResult(removeTree(folderFd, name, true),
                         "a stale partial item that stays is tried again by the next move");
        }
    }
}

std::string randomSuffix() {
    static constexpr std::string_view kLetters =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static std::mutex mutex;
    static std::mt19937_64 generator{std::random_device{}()};
    const std::lock_guard lock(mutex);
    std::string suffix;
    for (int i = 0; i < 6; ++i) {
        suffix += kLetters[generator() % kLetters.size()];
    }
    return suffix;
}

bool sameContents(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           (a.st_mode & S_IFMT) == (b.st_mode & S_IFMT);
}

// The record of a cross-filesystem move whose copy is whole: the paths, the hidden name the copy
// had until it took its own, and the identities (device, inode) of the source's top and of the
// copy's top, which tell later whether the items at those paths are still the move's own.
struct JournalRecord {
    std::string from;
    std::string to;
    std::string partial;
    dev_t fromDevice = 0;
    ino_t fromInode = 0;
    dev_t copyDevice = 0;
    ino_t copyInode = 0;
};

constexpr std::string_view kJournalMagic = "quenta-move 1\n";
constexpr std::string_view kJournalSuffix = ".move";

// The magic line, then each field followed by a NUL byte (paths may hold any other byte).
std::string encodeJournal(const JournalRecord& record) {
    std::string bytes(kJournalMagic);
    for (const std::string& field :
         {record.from, record.to, record.partial, std::to_string(record.fromDevice),
          std::to_string(record.fromInode), std::to_string(record.copyDevice),
          std::to_string(record.copyInode)}) {
        bytes.append(field).push_back('\0');
    }
    return bytes;
}

std::optional<JournalRecord> decodeJournal(std::string_view bytes) {
    if (bytes.substr(0, kJournalMagic.size()) != kJournalMagic) {
        return std::nullopt;
    }
    bytes.remove_prefix(kJournalMagic.size());
    std::vector<std::string> fields;
    while (!bytes.empty()) {
        const auto end = bytes.find('\0');
        if (end == std::string_view::npos) {
            return std::nullopt;
        }
        fields.emplace_back(bytes.substr(0, end));
        bytes.remove_prefix(end + 1);
    }
    if (fields.size() != 7) {
        return std::nullopt;
    }
    JournalRecord record{fields[0], fields[1], fields[2]};
    const auto number = [](const std::string& text) {
        return static_cast<std::uint64_t>(std::strtoull(text.c_str(), nullptr, 10));
    };
    record.fromDevice = static_cast<dev_t>(number(fields[3]));
    record.fromInode = static_cast<ino_t>(number(fields[4]));
    record.copyDevice = static_cast<dev_t>(number(fields[5]));
    record.copyInode = static_cast<ino_t>(number(fields[6]));
    return record;
}

// The journal folder, made (with the folders above it) where missing, private to the user, and
// reached as every folder of the user's own is: no link planted by someone else on the way.
Result<UniqueFd> openJournalFolder(const std::string& folder, bool create) {
    return openOwnFolder(folder, create ? CreateFolders::all : CreateFolders::none);
}

// Writes the record under a name of its own ("PID-START-XXXXXX.move") and flushes it with its
// folder. Answers the name.
Result<std::string> writeJournal(const std::string& folder, const JournalRecord& record) {
    auto folderFd = openJournalFolder(folder, true);
    if (!folderFd) {
        return folderFd.error();
    }
    const std::string bytes = encodeJournal(record);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = ownerTag() + "-" + randomSuffix() + std::string(kJournalSuffix);
        UniqueFd fd(::openat(folderFd.value().get(), name.c_str(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd.valid() && errno == EEXIST) {
            continue;
        }
        int error = fd.valid() ? 0 : errno;
        if (error == 0 && (!writeAll(fd.get(), bytes) || ::fsync(fd.get()) != 0)) {
            error = errno;
        }
        if (const int closed = fd.valid() ? fd.close() : 0; error == 0 && closed != 0) {
            error = closed;
        }
        if (error == 0 && ::fsync(folderFd.value().get()) != 0) {
            error = errno;
        }
        if (error != 0) {
            ignoreResult(::unlinkat(folderFd.value().get(), name.c_str(), 0),
                         "a record that could not be written whole is no record");
            return errorFromErrno(error, std::string(folder).append("/").append(name));
        }
        return name;
    }
    return errorFromErrno(EEXIST, folder);
}

// The record goes once the move has ended, however it ended. Not flushed: a record that comes
// back after a power cut names a move that is found finished.
void dropJournal(const std::string& folder, const std::string& name) {
    if (!folder.empty() && !name.empty()) {
        ignoreResult(::unlink((folder + "/" + name).c_str()),
                     "a record left over is found finished by the next paste and removed");
    }
}

// Finishes the removal of a source entry whose copy is in place: the entry goes when the copy
// holds it as it is (the same type; a file of the same size and modification time; a folder once
// everything in it went). Anything else stays, named in `left`. Through handles, never following
// a link; `path` is the entry's path for the report. True when the entry went.
bool finishRemoval(int srcDir, const std::string& srcName, int dstDir, const std::string& dstName,
                   const std::string& path, std::vector<std::string>& left) {
    struct stat source {};
    struct stat copy {};
    if (::fstatat(srcDir, srcName.c_str(), &source, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOENT;
    }
    if (::fstatat(dstDir, dstName.c_str(), &copy, AT_SYMLINK_NOFOLLOW) != 0 ||
        (source.st_mode & S_IFMT) != (copy.st_mode & S_IFMT)) {
        left.push_back(path);
        return false;
    }
    if (S_ISDIR(source.st_mode)) {
        const UniqueFd from(
            ::openat(srcDir, srcName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        const UniqueFd to(
            ::openat(dstDir, dstName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat opened {};
        std::vector<std::string> names;
        if (!from.valid() || !to.valid() || ::fstat(from.get(), &opened) != 0 ||
            opened.st_dev != source.st_dev || opened.st_ino != source.st_ino ||
            listNames(from.get(), names) != 0) {
            left.push_back(path);
            return false;
        }
        std::sort(names.begin(), names.end());
        bool all = true;
        for (const auto& name : names) {
            all = finishRemoval(from.get(), name, to.get(), name,
                                std::string(path).append("/").append(name), left) &&
                  all;
        }
        if (!all) {
            return false;
        }
    } else if (source.st_size != copy.st_size || source.st_mtim.tv_sec != copy.st_mtim.tv_sec ||
               source.st_mtim.tv_nsec != copy.st_mtim.tv_nsec) {
        left.push_back(path);
        return false;
    }
    if (::unlinkat(srcDir, srcName.c_str(), S_ISDIR(source.st_mode) ? AT_REMOVEDIR : 0) != 0 &&
        errno != ENOENT) {
        left.push_back(path);
        return false;
    }
    return true;
}

// Ends the move of one record: forward when the copy has its name (what of the source the copy
// holds goes), backward when it still has its hidden one (the copy goes). None when the record is
// not to be acted on now.
std::optional<InterruptedMove> finishFromJournal(const JournalRecord& record) {
    const auto [fromParent, fromName] = splitPath(record.from);
    const auto [toParent, toName] = splitPath(record.to);
    const UniqueFd destination(::open(toParent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!destination.valid()) {
        return std::nullopt;
    }
    const auto isCopy = [&](const std::string& name) {
        struct stat info {};
        return ::fstatat(destination.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
               info.st_dev == record.copyDevice && info.st_ino == record.copyInode;
    };
    InterruptedMove move{record.from, record.to, false, {}};
    if (!isCopy(toName)) {
        if (isCopy(record.partial)) {
            ignoreResult(removeTree(destination.get(), record.partial, true),
                         "a partial item that stays is removed by the next move into the folder");
        }
        return move;
    }
    move.placed = true;
    const UniqueFd source(::open(fromParent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat top {};
    if (!source.valid() ||
        ::fstatat(source.get(), fromName.c_str(), &top, AT_SYMLINK_NOFOLLOW) != 0 ||
        top.st_dev != record.fromDevice || top.st_ino != record.fromInode) {
        return move;  // the source is gone, or what is there now is no longer the move's
    }
    ignoreResult(finishRemoval(source.get(), fromName, destination.get(), toName, record.from,
                               move.outcome.leftAtSource),
                 "what stays is named in the outcome");
    return move;
}

// Copies the extended attributes (ACLs included) of one item to another. `list`, `get` and `set`
// are the fd- or path-based calls. Names the destination cannot hold or the caller may not set
// are left out, as mv does; any other failure fails the copy.
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

// The same for items that cannot be opened (links, FIFOs, devices): by the path of the entry
// through its folder's descriptor, never following a link.
int copyAttributesOfEntry(int inDir, const std::string& inName, int outDir,
                          const std::string& outName) {
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

// One entry of the tree being moved, in the order of a walk from the top (folders before what
// they hold). `info` is what the entry was when it was copied.
struct Entry {
    std::string relative;  // "" for the top, else "a/b" below it
    std::string name;
    struct stat info {};
    std::vector<std::size_t> children;
    bool stays = false;  // still at the source after the removal
    bool gone = false;   // no longer at the source when it was to be removed
    bool named = false;  // reported as left at the source itself (not only for what it holds)
};

// The path an open descriptor's item has now, or "" when it has none (removed meanwhile, or no
// /proc to ask).
std::string currentPath(int fd) {
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
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

// The most written files and folders held open until they are flushed together: one flush of the
// filesystem's journal covers a whole batch, and the descriptors stay well under the usual limit.
constexpr std::size_t kFlushBatch = 256;

class MoveEngine {
  public:
    MoveEngine(MoveObserver* observer, const MoveFaults& faults, std::string journalFolder)
        : observer_(observer), faults_(faults), journalFolder_(std::move(journalFolder)) {}

    Result<MoveOutcome> run(const std::string& from, const std::string& to);

  private:
    int inject(MoveStep step, const std::string& path) const {
        return faults_.inject ? faults_.inject(step, path) : 0;
    }
    int scan(int dirFd, const std::string& name, const std::string& relative);
    int copyEntry(std::size_t index, int srcDir, int dstDir, const std::string& dstName);
    int copyFolder(const Entry& entry, int srcDir, int dstDir, const std::string& dstName);
    int copyFile(const Entry& entry, int srcDir, int dstDir, const std::string& dstName);
    int copyRange(int in, int out, off_t offset, off_t length);
    int copyContents(int in, int out, const struct stat& info);
    bool removeEntry(std::size_t index, int parentFd);
    bool inPlace();
    void markGone(std::size_t index);
    void markStays(std::size_t index);
    void removeCopiesOfWhatStays(std::size_t index, int parentFd, const std::string& name) const;
    int flushWritten();
    int keepForFlush(UniqueFd fd);
    Error failWith(Error error, int destinationFd, const std::string& journalName) const;
    Result<MoveOutcome> finish(int destinationFd, const std::string& toName);

    MoveObserver* observer_;
    const MoveFaults& faults_;
    std::string journalFolder_;
    std::vector<Entry> entries_;
    std::uint64_t totalBytes_ = 0;
    enum class Method { copyFileRange, sendFile, readWrite } method_ = Method::copyFileRange;
    // Hard links within the tree: the first copy of each (device, inode), relative to the top.
    std::map<std::pair<dev_t, ino_t>, std::string> firstCopies_;
    int partialParent_ = -1;
    std::string partialName_;
    bool topCreated_ = false;  // something exists under the partial name, and it is ours
    std::string refusedNode_;
    std::size_t removed_ = 0;
    int removalError_ = 0;
    bool changed_ = false;
    // What this move wrote and has not flushed yet.
    std::vector<UniqueFd> unflushed_;
    // The folders of the source being emptied, top first: the entry and the handle it was opened
    // by, and the folder handle that holds it by name.
    struct Held {
        int parentFd;
        std::size_t index;
        int fd;
    };
    std::vector<Held> held_;
    std::string from_;
    std::string fromName_;
    // A folder of the source that another program moved or removed during the removal: where it
    // was and where it is now ("" when it no longer exists).
    std::optional<MoveOutcome::MovedAway> movedAway_;
};

// Flushes the files and folders this move wrote, then lets go of them. The first flush of a batch
// commits the filesystem's journal for all of them, so the rest cost little; nothing written by
// other programs is waited for.
int MoveEngine::flushWritten() {
    int error = 0;
    for (auto& fd : unflushed_) {
        if (error == 0 && ::fsync(fd.get()) != 0) {
            error = errno;
        }
        if (const int closed = fd.close(); error == 0 && closed != 0) {
            error = closed;
        }
    }
    unflushed_.clear();
    return error;
}

int MoveEngine::keepForFlush(UniqueFd fd) {
    unflushed_.push_back(std::move(fd));
    return unflushed_.size() >= kFlushBatch ? flushWritten() : 0;
}

int MoveEngine::scan(int dirFd, const std::string& name, const std::string& relative) {
    Entry entry;
    entry.relative = relative;
    entry.name = name;
    if (::fstatat(dirFd, name.c_str(), &entry.info, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno;
    }
    const std::size_t index = entries_.size();
    const bool folder = S_ISDIR(entry.info.st_mode);
    if (S_ISREG(entry.info.st_mode)) {
        totalBytes_ += static_cast<std::uint64_t>(entry.info.st_size);
    }
    entries_.push_back(std::move(entry));
    if (!folder) {
        return 0;
    }
    const UniqueFd fd(
        ::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid()) {
        return errno;
    }
    std::vector<std::string> names;
    if (const int error = listNames(fd.get(), names); error != 0) {
        return error;
    }
    std::sort(names.begin(), names.end());
    for (const auto& child : names) {
        entries_[index].children.push_back(entries_.size());
        const std::string below =
            relative.empty() ? child : std::string(relative).append("/").append(child);
        if (const int error = scan(fd.get(), child, below); error != 0) {
            return error;
        }
    }
    return 0;
}

int MoveEngine::copyRange(int in, int out, off_t offset, off_t length) {
    off_t inOffset = offset;
    off_t outOffset = offset;
    bool positioned = false;
    while (length > 0) {
        const auto want = static_cast<std::size_t>(std::min<off_t>(length, kChunk));
        ssize_t done = -1;
        if (method_ == Method::copyFileRange) {
            done = ::copy_file_range(in, &inOffset, out, &outOffset, want, 0);
            if (done < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS ||
                             errno == EOPNOTSUPP || errno == EPERM)) {
                method_ = Method::sendFile;
                continue;
            }
        } else if (method_ == Method::sendFile) {
            if (!positioned) {
                if (::lseek(out, inOffset, SEEK_SET) < 0) {
                    return errno;
                }
                positioned = true;
            }
            done = ::sendfile(out, in, &inOffset, want);
            if (done < 0 && (errno == EINVAL || errno == ENOSYS)) {
                method_ = Method::readWrite;
                continue;
            }
        } else {
            std::vector<char> buffer(std::min<std::size_t>(want, std::size_t{1} << 20));
            done = ::pread(in, buffer.data(), buffer.size(), inOffset);
            if (done > 0) {
                if (::lseek(out, inOffset, SEEK_SET) < 0 ||
                    !writeAll(out,
                              std::string_view(buffer.data(), static_cast<std::size_t>(done)))) {
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
            break;  // the file shrank meanwhile; its changed size keeps it at the source
        }
        outOffset = inOffset;
        length -= done;
        if (observer_ != nullptr) {
            observer_->copied(static_cast<std::uint64_t>(done));
        }
    }
    return 0;
}

// The bytes of one file; a file with fewer blocks than its size has holes, and only its data
// ranges are copied, so the copy has the same holes.
int MoveEngine::copyContents(int in, int out, const struct stat& info) {
    const off_t size = info.st_size;
    if (info.st_blocks * 512 >= size) {
        return copyRange(in, out, 0, size);
    }
    off_t offset = 0;
    while (offset < size) {
        const off_t data = ::lseek(in, offset, SEEK_DATA);
        if (data < 0) {
            if (errno == ENXIO) {
                break;
            }
            return copyRange(in, out, offset, size - offset);
        }
        off_t hole = ::lseek(in, data, SEEK_HOLE);
        if (hole < 0) {
            return errno;
        }
        hole = std::min(hole, size);
        if (observer_ != nullptr && data > offset) {
            observer_->copied(static_cast<std::uint64_t>(data - offset));
        }
        if (const int error = copyRange(in, out, data, hole - data); error != 0) {
            return error;
        }
        offset = hole;
    }
    if (observer_ != nullptr && offset < size) {
        observer_->copied(static_cast<std::uint64_t>(size - offset));
    }
    return ::ftruncate(out, size) == 0 ? 0 : errno;
}

int MoveEngine::copyFile(const Entry& entry, int srcDir, int dstDir, const std::string& dstName) {
    const UniqueFd in(::openat(srcDir, entry.name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!in.valid()) {
        return errno;
    }
    UniqueFd out(::openat(dstDir, dstName.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out.valid()) {
        return errno;
    }
    topCreated_ = true;
    if (const int error = copyContents(in.get(), out.get(), entry.info); error != 0) {
        return error;
    }
    const timespec times[2] = {entry.info.st_atim, entry.info.st_mtim};
    // The owner first: changing it clears the set-user-ID and set-group-ID bits. The attributes
    // after the mode, as an access ACL sets the group bits of the mode.
    ignoreResult(::fchown(out.get(), entry.info.st_uid, entry.info.st_gid),
                 "the owner is kept where permitted, as mv keeps it");
    if (::fchmod(out.get(), entry.info.st_mode & 07777) != 0) {
        return errno;
    }
    if (const int error = copyAttributesOfFd(in.get(), out.get()); error != 0) {
        return error;
    }
    if (::futimens(out.get(), times) != 0) {
        return errno;
    }
    return keepForFlush(std::move(out));
}

int MoveEngine::copyFolder(const Entry& entry, int srcDir, int dstDir, const std::string& dstName) {
    const UniqueFd from(
        ::openat(srcDir, entry.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!from.valid()) {
        return errno;
    }
    // Private while it fills; its own mode is set once everything is inside.
    if (::mkdirat(dstDir, dstName.c_str(), 0700) != 0) {
        return errno;
    }
    topCreated_ = true;
    UniqueFd to(::openat(dstDir, dstName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!to.valid()) {
        return errno;
    }
    for (const std::size_t child : entry.children) {
        if (const int error = copyEntry(child, from.get(), to.get(), entries_[child].name);
            error != 0) {
            return error;
        }
    }
    const timespec times[2] = {entry.info.st_atim, entry.info.st_mtim};
    ignoreResult(::fchown(to.get(), entry.info.st_uid, entry.info.st_gid),
                 "the owner is kept where permitted, as mv keeps it");
    if (::fchmod(to.get(), entry.info.st_mode & 07777) != 0) {
        return errno;
    }
    if (const int error = copyAttributesOfFd(from.get(), to.get()); error != 0) {
        return error;
    }
    if (::futimens(to.get(), times) != 0) {
        return errno;
    }
    return keepForFlush(std::move(to));
}

int MoveEngine::copyEntry(std::size_t index, int srcDir, int dstDir, const std::string& dstName) {
    const Entry& entry = entries_[index];
    const struct stat& info = entry.info;
    if (S_ISDIR(info.st_mode)) {
        return copyFolder(entry, srcDir, dstDir, dstName);
    }
    if (observer_ != nullptr && observer_->cancelRequested()) {
        return ECANCELED;
    }
    if (info.st_nlink > 1) {
        const auto [first, isFirst] =
            firstCopies_.emplace(std::pair{info.st_dev, info.st_ino}, entry.relative);
        if (!isFirst) {
            const std::string existing = joined(partialName_, first->second);
            if (::linkat(partialParent_, existing.c_str(), dstDir, dstName.c_str(), 0) != 0) {
                return errno;
            }
            topCreated_ = true;
            if (observer_ != nullptr && S_ISREG(info.st_mode)) {
                observer_->copied(static_cast<std::uint64_t>(info.st_size));
            }
            return 0;
        }
    }
    if (S_ISREG(info.st_mode)) {
        if (const int injected = inject(MoveStep::copyFile, entry.relative); injected != 0) {
            return injected;
        }
        return copyFile(entry, srcDir, dstDir, dstName);
    }
    const timespec times[2] = {info.st_atim, info.st_mtim};
    if (S_ISLNK(info.st_mode)) {
        std::string target(static_cast<std::size_t>(info.st_size) + 1, '\0');
        while (true) {
            const ssize_t length =
                ::readlinkat(srcDir, entry.name.c_str(), target.data(), target.size());
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
    } else if (::mknodat(dstDir, dstName.c_str(), info.st_mode & (S_IFMT | 07777), info.st_rdev) !=
               0) {
        // Named, as creating a device node needs a right the mover may lack.
        refusedNode_ = entry.relative.empty() ? entry.name : entry.relative;
        return errno;
    }
    topCreated_ = true;
    ignoreResult(::fchownat(dstDir, dstName.c_str(), info.st_uid, info.st_gid, AT_SYMLINK_NOFOLLOW),
                 "the owner is kept where permitted, as mv keeps it");
    if (!S_ISLNK(info.st_mode) &&
        ::fchmodat(dstDir, dstName.c_str(), info.st_mode & 07777, 0) != 0) {
        return errno;
    }
    if (const int error = copyAttributesOfEntry(srcDir, entry.name, dstDir, dstName); error != 0) {
        return error;
    }
    return ::utimensat(dstDir, dstName.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
}

// True while every folder from the cut's top down to the one being emptied is still the entry
// it was copied from, under its name in the folder above. A folder found elsewhere stops the
// removal; where it is now is kept for the report.
bool MoveEngine::inPlace() {
    if (movedAway_) {
        return false;
    }
    for (const Held& level : held_) {
        const Entry& entry = entries_[level.index];
        struct stat now {};
        if (::fstatat(level.parentFd, entry.name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
            now.st_dev == entry.info.st_dev && now.st_ino == entry.info.st_ino) {
            continue;
        }
        movedAway_ = MoveOutcome::MovedAway{joined(from_, entry.relative), currentPath(level.fd)};
        return false;
    }
    return true;
}

void MoveEngine::markStays(std::size_t index) {
    entries_[index].stays = true;
    for (const std::size_t child : entries_[index].children) {
        markStays(child);
    }
}

void MoveEngine::markGone(std::size_t index) {
    entries_[index].gone = true;
    for (const std::size_t child : entries_[index].children) {
        markGone(child);
    }
}

// Removes one copied entry of the source, a folder with what it holds, bottom-up, through the
// handle of the folder that holds it: only while it is still what was copied (device and inode,
// and for a file its size and modification time), and a folder only when everything in it went.
// A link put in place of a folder is never followed. True when the entry went.
bool MoveEngine::removeEntry(std::size_t index, int parentFd) {
    Entry& entry = entries_[index];
    const bool folder = S_ISDIR(entry.info.st_mode);
    if (!inPlace()) {
        markStays(index);
        return false;
    }
    if (folder) {
        const UniqueFd fd(::openat(parentFd, entry.name.c_str(),
                                   O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat now {};
        if (!fd.valid() && errno == ENOENT) {
            // Gone already: another mover took it, or the user removed it; its copy goes too.
            markGone(index);
            return false;
        }
        if (!fd.valid() || ::fstat(fd.get(), &now) != 0 || now.st_dev != entry.info.st_dev ||
            now.st_ino != entry.info.st_ino) {
            entry.stays = entry.named = true;
            changed_ = true;
            return false;
        }
        held_.push_back({parentFd, index, fd.get()});
        bool all = true;
        for (const std::size_t child : entry.children) {
            all = removeEntry(child, fd.get()) && all;
        }
        const bool placed = inPlace();
        held_.pop_back();
        if (!all || !placed) {
            entry.stays = true;
            return false;
        }
    } else {
        struct stat now {};
        if (::fstatat(parentFd, entry.name.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0) {
            entry.gone = true;
            return false;
        }
        if (!sameContents(now, entry.info)) {
            entry.stays = entry.named = true;
            changed_ = true;
            return false;
        }
    }
    int error = inject(MoveStep::removeEntry, joined(fromName_, entry.relative));
    if (error == 0 && ::unlinkat(parentFd, entry.name.c_str(), folder ? AT_REMOVEDIR : 0) != 0) {
        error = errno;
    }
    if (error == 0) {
        ++removed_;
        return true;
    }
    entry.stays = entry.named = true;
    if (folder && (error == ENOTEMPTY || error == EEXIST)) {
        changed_ = true;  // something was put into it meanwhile
    } else if (error == ENOENT) {
        entry.stays = entry.named = false;
        markGone(index);
    } else {
        removalError_ = removalError_ != 0 ? removalError_ : error;
    }
    return false;
}

// The copy of every entry that stays at the source, or went from it by other hands, goes,
// bottom-up, through the handles of the copy's folders; the copy of such a folder goes only when
// nothing moved into it.
void MoveEngine::removeCopiesOfWhatStays(std::size_t index, int parentFd,
                                         const std::string& name) const {
    const Entry& entry = entries_[index];
    if (!entry.stays && !entry.gone) {
        return;
    }
    if (S_ISDIR(entry.info.st_mode)) {
        const UniqueFd fd(
            ::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!fd.valid()) {
            return;
        }
        for (const std::size_t child : entry.children) {
            removeCopiesOfWhatStays(child, fd.get(), entries_[child].name);
        }
    }
    ignoreResult(::unlinkat(parentFd, name.c_str(), S_ISDIR(entry.info.st_mode) ? AT_REMOVEDIR : 0),
                 "a copy that cannot be removed is left where it is");
}

Result<MoveOutcome> MoveEngine::run(const std::string& from, const std::string& to) {
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
    struct stat top {};
    if (::fstatat(source.get(), fromName.c_str(), &top, AT_SYMLINK_NOFOLLOW) != 0) {
        return errorFromErrno(errno);
    }
    struct stat taken {};
    if (::fstatat(destination.get(), toName.c_str(), &taken, AT_SYMLINK_NOFOLLOW) == 0) {
        return errorFromErrno(EEXIST);
    }
    // A source that cannot be removed (a read-only filesystem, a folder the user may not write)
    // is refused before anything is copied.
    if (::faccessat(source.get(), ".", W_OK | X_OK, AT_EACCESS) != 0) {
        return errorFromErrno(errno);
    }
    // A folder copied into its own tree (say, through a filesystem mounted inside it, or a link
    // that leads there) would never finish. The kernel refuses this for a rename; so do we.
    if (S_ISDIR(top.st_mode)) {
        const auto realFrom = realPath(from);
        const auto realTo = realFrom ? realPath(toParent) : std::nullopt;
        if (!realTo) {
            return errorFromErrno(errno);
        }
        if (isSameOrInsidePath(*realTo, *realFrom)) {
            return errorFromErrno(EINVAL);
        }
    }
    removeStalePartials(destination.get());

    if (const int error = scan(source.get(), fromName, ""); error != 0) {
        return errorFromErrno(error);
    }
    if (observer_ != nullptr) {
        observer_->copyStarted(from, totalBytes_);
    }
    // A hidden sibling of the destination, created exclusively, holds the copy until it is whole.
    partialParent_ = destination.get();
    const std::string base =
        "." + toName.substr(0, 150) + std::string(kPartialTag) + ownerTag() + "-";
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST && !topCreated_; ++attempt) {
        partialName_ = base + randomSuffix();
        error = copyEntry(0, source.get(), destination.get(), partialName_);
    }
    if (error == 0) {
        error = flushWritten();
    }
    unflushed_.clear();
    // The intent, on disk before the copy takes its name: a process that dies from here on leaves
    // what the next one needs to finish the move or to undo it.
    std::string journalName;
    if (error == 0 && !journalFolder_.empty()) {
        struct stat copy {};
        if (::fstatat(destination.get(), partialName_.c_str(), &copy, AT_SYMLINK_NOFOLLOW) != 0) {
            error = errno;
        } else {
            auto written =
                writeJournal(journalFolder_, JournalRecord{from, to, partialName_, top.st_dev,
                                                           top.st_ino, copy.st_dev, copy.st_ino});
            if (written) {
                journalName = written.value();
            } else {
                return failWith(written.error(), destination.get(), journalName);
            }
        }
    }
    if (error == 0) {
        error = inject(MoveStep::placeCopy, to);
    }
    if (error == 0 && ::renameat2(destination.get(), partialName_.c_str(), destination.get(),
                                  toName.c_str(), RENAME_NOREPLACE) != 0) {
        error = errno;
    }
    if (error != 0) {
        if (error == ECANCELED) {
            return failWith(Error{ErrorKind::cancelled, errorFromErrno(ECANCELED).description},
                            destination.get(), journalName);
        }
        return failWith(
            refusedNode_.empty() ? errorFromErrno(error) : errorFromErrno(error, refusedNode_),
            destination.get(), journalName);
    }
    // The rename is made durable before any of the source goes.
    if (::fsync(destination.get()) != 0) {
        const int flushError = errno;
        ignoreResult(removeTree(destination.get(), toName, true),
                     "the failure being reported is the one that matters");
        dropJournal(journalFolder_, journalName);
        return errorFromErrno(flushError);
    }

    from_ = from;
    fromName_ = fromName;
    // Where the cut's top is now, should another program move it away before its removal begins.
    if (S_ISDIR(top.st_mode)) {
        const UniqueFd topFd(::openat(source.get(), fromName.c_str(),
                                      O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        held_.push_back({source.get(), 0, topFd.valid() ? topFd.get() : -1});
        if (!topFd.valid() || !inPlace()) {
            if (!movedAway_) {
                movedAway_ = MoveOutcome::MovedAway{from, ""};
            }
        }
        held_.clear();
    }
    if (!movedAway_ || !movedAway_->now.empty()) {
        removeEntry(0, source.get());
    }
    auto outcome = finish(destination.get(), toName);
    dropJournal(journalFolder_, journalName);
    return outcome;
}

// Undoes a move that failed before its source was touched: the copy and the journal go.
Error MoveEngine::failWith(Error error, int destinationFd, const std::string& journalName) const {
    if (topCreated_) {
        ignoreResult(removeTree(destinationFd, partialName_, true),
                     "what stays of the copy keeps its hidden partial name");
    }
    dropJournal(journalFolder_, journalName);
    return error;
}

Result<MoveOutcome> MoveEngine::finish(int destinationFd, const std::string& toName) {
    if (removed_ == 0) {
        ignoreResult(removeTree(destinationFd, toName, true),
                     "the failure being reported is the one that matters");
        if (removalError_ != 0) {
            return errorFromErrno(removalError_);
        }
        if (changed_) {
            return Error{ErrorKind::changedMeanwhile, errorFromErrno(EBUSY).description};
        }
        return errorFromErrno(ENOENT);
    }
    MoveOutcome outcome;
    if (removalError_ != 0 || changed_ || movedAway_ ||
        std::any_of(entries_.begin(), entries_.end(),
                    [](const Entry& e) { return e.gone || e.stays; })) {
        removeCopiesOfWhatStays(0, destinationFd, toName);
        for (const auto& entry : entries_) {
            if (entry.named) {
                outcome.leftAtSource.push_back(joined(from_, entry.relative));
            }
        }
        if (removalError_ != 0) {
            outcome.removalError = errorFromErrno(removalError_);
        }
        outcome.movedAway = movedAway_;
    }
    return outcome;
}

}  // namespace

std::vector<InterruptedMove> finishInterruptedMoves(const std::string& journalFolder) {
    std::vector<InterruptedMove> finished;
    auto folderFd = openJournalFolder(journalFolder, false);
    std::vector<std::string> names;
    if (!folderFd || listNames(folderFd.value().get(), names) != 0) {
        return finished;
    }
    std::sort(names.begin(), names.end());
    for (const auto& name : names) {
        if (name.size() <= kJournalSuffix.size() ||
            name.compare(name.size() - kJournalSuffix.size(), kJournalSuffix.size(),
                         kJournalSuffix) != 0 ||
            !isTagOfGoneProcess(name.substr(0, name.size() - kJournalSuffix.size()))) {
            continue;
        }
        // One finisher at a time: a paste and a start of the application may both look.
        const UniqueFd fd(
            ::openat(folderFd.value().get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        std::string bytes;
        if (!fd.valid() || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 || !readAll(fd.get(), bytes)) {
            continue;
        }
        struct stat still {};
        if (::fstatat(folderFd.value().get(), name.c_str(), &still, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;  // finished by another process before the lock was ours
        }
        const auto record = decodeJournal(bytes);
        std::optional<InterruptedMove> move;
        if (record) {
            move = finishFromJournal(*record);
        }
        if (!record || move) {
            ignoreResult(::unlinkat(folderFd.value().get(), name.c_str(), 0),
                         "a record left over is found finished next time");
        }
        if (move) {
            finished.push_back(std::move(*move));
        }
    }
    return finished;
}

Result<MoveOutcome> moveFileSystemItem(const std::string& from, const std::string& to,
                                       MoveObserver* observer, const MoveFaults& faults,
                                       const std::string& journalFolder) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return MoveOutcome{};
    }
    if (errno != EXDEV) {
        return errorFromErrno(errno);
    }
    MoveEngine engine(observer, faults, journalFolder);
    return engine.run(from, to);
}

Result<MoveOutcome> PosixFileSystem::moveItem(const std::string& from, const std::string& to,
                                              MoveObserver* observer) {
    return moveFileSystemItem(from, to, observer, {}, moveJournalFolder());
}

std::vector<InterruptedMove> PosixFileSystem::finishInterruptedMoves() {
    return linux_platform::finishInterruptedMoves(moveJournalFolder());
}

std::string PosixFileSystem::moveJournalFolder() const {
    return logsDirectory() + "/quenta-moves";
}

std::optional<std::string> PosixFileSystem::resolvedPath(const std::string& path) const {
    return realPath(path);
}

}  // namespace quenta::linux_platform
