#include "adapters/linux/posix/file_move_posix.hpp"

#include "adapters/linux/posix/directory_handles_posix.hpp"
#include "adapters/linux/posix/file_system_posix.hpp"
#include "adapters/linux/posix/own_files.hpp"
#include "adapters/linux/posix/posix_error.hpp"
#include "adapters/linux/posix/unique_fd.hpp"
#include "core/shared/file_paths.hpp"
#include "core/shared/move_engine.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
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
void removeStalePartials(PosixDirectoryHandles& handles, const FolderHandle& folder) {
    // A folder is told by its device, inode and birth time (where the filesystem keeps one), so
    // a new folder that reuses an inode number is looked at again.
    struct statx info {};
    if (::statx(static_cast<int>(folder.id()), "", AT_EMPTY_PATH, STATX_INO | STATX_BTIME, &info) !=
        0) {
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
    const auto names = handles.list(folder);
    if (!names) {
        return;
    }
    for (const auto& name : names.value()) {
        if (isStalePartial(name)) {
            ignoreResult(removeTree(handles, folder, name, true),
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

constexpr std::string_view kJournalMagic = "quenta-move 1\n";
constexpr std::string_view kJournalSuffix = ".move";

// The magic line, then each field followed by a NUL byte (paths may hold any other byte).
std::string encodeJournal(const MoveRecord& record) {
    std::string bytes(kJournalMagic);
    for (const std::string& field :
         {record.from, record.to, record.partial, std::to_string(record.fromDevice),
          std::to_string(record.fromInode), std::to_string(record.copyDevice),
          std::to_string(record.copyInode)}) {
        bytes.append(field).push_back('\0');
    }
    return bytes;
}

std::optional<MoveRecord> decodeJournal(std::string_view bytes) {
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
    MoveRecord record{fields[0], fields[1], fields[2]};
    const auto number = [](const std::string& text) {
        return static_cast<std::uint64_t>(std::strtoull(text.c_str(), nullptr, 10));
    };
    record.fromDevice = number(fields[3]);
    record.fromInode = number(fields[4]);
    record.copyDevice = number(fields[5]);
    record.copyInode = number(fields[6]);
    return record;
}

// The journal folder, made (with the folders above it) where missing, private to the user, and
// reached as every folder of the user's own is: no link planted by someone else on the way.
Result<UniqueFd> openJournalFolder(const std::string& folder, bool create) {
    return openOwnFolder(folder, create ? CreateFolders::all : CreateFolders::none);
}

// Writes the record under a name of its own ("PID-START-XXXXXX.move") and flushes it with its
// folder. Answers the name.
Result<std::string> writeJournal(const std::string& folder, const MoveRecord& record) {
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

// The journal of moves as files in a folder of the user's own.
class JournalFolder : public MoveJournal {
  public:
    explicit JournalFolder(std::string folder) : folder_(std::move(folder)) {}
    Result<std::string> write(const MoveRecord& record) override {
        return writeJournal(folder_, record);
    }
    void drop(const std::string& written) override { dropJournal(folder_, written); }

  private:
    std::string folder_;
};

}  // namespace

std::vector<InterruptedMove> finishInterruptedMoves(const std::string& journalFolder) {
    std::vector<InterruptedMove> finished;
    auto folderFd = openJournalFolder(journalFolder, false);
    std::vector<std::string> names;
    if (!folderFd || listNames(folderFd.value().get(), names) != 0) {
        return finished;
    }
    std::sort(names.begin(), names.end());
    PosixDirectoryHandles handles;
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
            move = finishRecordedMove(handles, *record);
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
    PosixDirectoryHandles handles;
    if (const auto destination = handles.openFolder(parentPath(to)); destination) {
        removeStalePartials(handles, destination.value());
    }
    JournalFolder journal(journalFolder);
    MoveEngine::Setup setup;
    setup.observer = observer;
    setup.journal = journalFolder.empty() ? nullptr : &journal;
    // ".NAME.quenta-partial-PID-START-XXXXXX": the process that copies tells whether it runs.
    setup.partialName = [](const std::string& name) {
        return "." + name.substr(0, 150) + std::string(kPartialTag) + ownerTag() + "-" +
               randomSuffix();
    };
    if (faults.inject) {
        setup.fault = [&faults](MoveStep step, const std::string& path) -> std::optional<Error> {
            if (const int error = faults.inject(step, path); error != 0) {
                if (error == ECANCELED) {
                    return Error{ErrorKind::cancelled, errorFromErrno(ECANCELED).description};
                }
                return errorFromErrno(error);
            }
            return std::nullopt;
        };
    }
    MoveEngine engine(handles, std::move(setup));
    return engine.move(from, to);
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
