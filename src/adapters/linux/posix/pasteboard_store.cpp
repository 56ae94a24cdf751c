#include "adapters/linux/posix/pasteboard_store.hpp"

#include "adapters/linux/posix/file_system_posix.hpp"
#include "adapters/linux/posix/own_files.hpp"
#include "adapters/linux/posix/posix_error.hpp"
#include "adapters/linux/posix/unique_fd.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>

namespace quenta::linux_platform {
namespace {

constexpr const char* kFolderName = "quenta-pasteboard";
constexpr const char* kEntriesName = "entries";
constexpr const char* kSideName = "entries.new";
constexpr const char* kLockName = "lock";
constexpr std::string_view kMagic = "quenta-pasteboard 1\n";

using Entries = Pasteboard::Entries;

// The store's folder, opened without following a link and only when it is a folder of the user's
// own; a folder anyone else may enter is closed to the user alone first.
Result<UniqueFd> openFolder(const std::string& folder, bool create) {
    auto fd = openOwnFolder(folder, create ? CreateFolders::last : CreateFolders::none);
    if (!fd) {
        if (fd.error().kind == ErrorKind::permissionDenied) {
            return Error{ErrorKind::permissionDenied,
                         "the pasteboard store " + folder + " is not a folder of this user's own"};
        }
        return fd;
    }
    struct stat info {};
    if (::fstat(fd.value().get(), &info) != 0 ||
        ((info.st_mode & 077) != 0 && ::fchmod(fd.value().get(), 0700) != 0)) {
        return errorFromErrno(errno, folder);
    }
    return fd;
}

// The serialized form: the magic line, then for each entry "<type length>:<text length>\n"
// followed by the type's and the text's bytes.
std::string serialize(const Entries& entries) {
    std::string bytes(kMagic);
    for (const auto& [type, text] : entries) {
        bytes += std::to_string(type.size());
        bytes += ':';
        bytes += std::to_string(text.size());
        bytes += '\n';
        bytes += type;
        bytes += text;
    }
    return bytes;
}

bool readLength(std::string_view& bytes, char terminator, std::size_t& length) {
    const auto end = bytes.find(terminator);
    if (end == std::string_view::npos || end == 0) {
        return false;
    }
    const auto [next, error] = std::from_chars(bytes.data(), bytes.data() + end, length);
    if (error != std::errc() || next != bytes.data() + end) {
        return false;
    }
    bytes.remove_prefix(end + 1);
    return true;
}

// Reads exactly `count` bytes at `offset` into `bytes`; false when the file ends before or a read
// fails.
bool readExactly(int fd, off_t offset, std::size_t count, std::string& bytes) {
    bytes.resize(count);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got =
            ::pread(fd, bytes.data() + done, count - done, offset + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

// The entries of the store file open as `fd`, one at a time: only the headers and the texts of the
// types `wanted` picks are read; the others are present with an empty text. None when the file is
// not a whole store or holds an entry over the limits.
std::optional<Entries> readStore(int fd, const std::function<bool(std::string_view)>& wanted) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return std::nullopt;
    }
    const off_t size = info.st_size;
    std::string chunk;
    if (size < static_cast<off_t>(kMagic.size()) || !readExactly(fd, 0, kMagic.size(), chunk) ||
        chunk != kMagic) {
        return std::nullopt;
    }
    off_t offset = static_cast<off_t>(kMagic.size());
    Entries entries;
    while (offset < size) {
        // "<type length>:<text length>\n": two numbers of at most 20 digits.
        constexpr std::size_t kLongestHeader = 43;
        if (!readExactly(fd, offset,
                         static_cast<std::size_t>(std::min<off_t>(size - offset, kLongestHeader)),
                         chunk)) {
            return std::nullopt;
        }
        std::string_view header = chunk;
        std::size_t typeLength = 0;
        std::size_t textLength = 0;
        if (!readLength(header, ':', typeLength) || !readLength(header, '\n', textLength) ||
            typeLength > PasteboardStore::kMaxTypeSize ||
            textLength > PasteboardStore::kMaxEntrySize) {
            return std::nullopt;
        }
        offset += static_cast<off_t>(chunk.size() - header.size());
        if (static_cast<off_t>(typeLength + textLength) > size - offset) {
            return std::nullopt;
        }
        std::string type;
        if (!readExactly(fd, offset, typeLength, type)) {
            return std::nullopt;
        }
        offset += static_cast<off_t>(typeLength);
        std::string text;
        if (wanted(type) && !readExactly(fd, offset, textLength, text)) {
            return std::nullopt;
        }
        offset += static_cast<off_t>(textLength);
        entries.insert_or_assign(std::move(type), std::move(text));
    }
    return entries;
}

// Whether `error` (an errno value) says a store that is there could not be read, rather than that
// there is none of ours.
bool isReadFailure(int error) {
    return error == EACCES || error == EIO || error == ENOMEM || error == EMFILE || error == ENFILE;
}

// The entries stored in the folder (see readStore), with the texts of the types `wanted` picks:
// empty when there is no store file, or it is not a regular file of the user's own, or not a whole
// store; an error when there is one that cannot be opened or read (EACCES, EIO).
Result<Entries> tryReadEntries(int folderFd, const std::function<bool(std::string_view)>& wanted) {
    errno = 0;
    auto fd = openOwnFile(folderFd, kEntriesName, O_RDONLY);
    if (!fd) {
        if (isReadFailure(errno)) {
            return errorFromErrno(errno, kEntriesName);
        }
        return Entries{};
    }
    errno = 0;
    auto entries = readStore(fd.value().get(), wanted);
    if (!entries && isReadFailure(errno)) {
        return errorFromErrno(errno, kEntriesName);
    }
    return std::move(entries).value_or(Entries{});
}

Entries readEntries(int folderFd, const std::function<bool(std::string_view)>& wanted) {
    auto entries = tryReadEntries(folderFd, wanted);
    return entries ? std::move(entries.value()) : Entries{};
}

Entries readAllEntries(int folderFd) {
    return readEntries(folderFd, [](std::string_view) { return true; });
}

// Replaces the store file whole: the side file is written and flushed, then renamed over it, and
// the rename is flushed with the folder.
// An empty store is no file at all.
Status writeEntries(int folderFd, const Entries& entries) {
    if (entries.empty()) {
        if (::unlinkat(folderFd, kEntriesName, 0) != 0 && errno != ENOENT) {
            return errorFromErrno(errno, kEntriesName);
        }
        ignoreResult(::fsync(folderFd), "the removal stands whether or not it is flushed");
        return {};
    }
    for (const auto& [type, text] : entries) {
        if (type.size() > PasteboardStore::kMaxTypeSize ||
            text.size() > PasteboardStore::kMaxEntrySize) {
            return Error{ErrorKind::invalidArgument,
                         "a pasteboard entry holds at most " +
                             std::to_string(PasteboardStore::kMaxEntrySize) + " bytes"};
        }
    }
    auto side = openOwnFile(folderFd, kSideName, O_WRONLY | O_CREAT, 0600);
    if (!side) {
        return side.error();
    }
    const UniqueFd fd = std::move(side).value();
    if (::ftruncate(fd.get(), 0) != 0 || !writeAll(fd.get(), serialize(entries)) ||
        ::fsync(fd.get()) != 0 || ::renameat(folderFd, kSideName, folderFd, kEntriesName) != 0) {
        const int failure = errno;
        ::unlinkat(folderFd, kSideName, 0);
        return errorFromErrno(failure, kSideName);
    }
    ignoreResult(::fsync(folderFd), "the rename stands whether or not it is flushed");
    return {};
}

// Holds the store's writer lock for as long as it lives.
class WriterLock {
  public:
    explicit WriterLock(int folderFd) {
        auto opened = openOwnFile(folderFd, kLockName, O_RDWR | O_CREAT, 0600);
        if (!opened) {
            status_ = opened.error();
            return;
        }
        fd_ = std::move(opened).value();
        int result = 0;
        do {
            result = ::flock(fd_.get(), LOCK_EX);
        } while (result != 0 && errno == EINTR);
        if (result != 0) {
            status_ = errorFromErrno(errno, kLockName);
        }
    }
    // The lock is released when the descriptor closes.

    // Why the lock could not be taken; success once it is held.
    [[nodiscard]] const Status& status() const { return status_; }

  private:
    UniqueFd fd_;
    Status status_;
};

// Creates the cache home when the store falls back to it, as a user's cache folder may be missing.
void createCacheHome(const std::string& folder) {
    const std::filesystem::path parent = std::filesystem::path(folder).parent_path();
    std::error_code ignored;
    if (!std::filesystem::exists(parent, ignored)) {
        std::filesystem::create_directories(parent, ignored);
        std::filesystem::permissions(parent, std::filesystem::perms::owner_all, ignored);
    }
}

}  // namespace

std::string PasteboardStore::defaultFolder() {
    if (const char* runtime = absolutePathFromEnvironment("XDG_RUNTIME_DIR")) {
        return std::string(runtime) + "/" + kFolderName;
    }
    std::string cache;
    if (const char* cacheHome = absolutePathFromEnvironment("XDG_CACHE_HOME")) {
        cache = cacheHome;
    } else {
        cache = PosixFileSystem().homeDirectory();
        if (cache.empty() || cache.back() != '/') {
            cache += '/';
        }
        cache += ".cache";
    }
    return cache + "/" + kFolderName;
}

PasteboardStore::PasteboardStore() : folder_(defaultFolder()) {
    if (absolutePathFromEnvironment("XDG_RUNTIME_DIR") == nullptr) {
        createCacheHome(folder_);
    }
}

PasteboardStore::PasteboardStore(std::string folder) : folder_(std::move(folder)) {}

Status PasteboardStore::clearContents() {
    return replaceContents({});
}

Status PasteboardStore::setString(std::string_view text, std::string_view type) {
    return update([&](Entries& entries) {
        entries.insert_or_assign(std::string(type), std::string(text));
        return true;
    });
}

Status PasteboardStore::replaceContents(const Entries& entries) {
    return update([&](Entries& stored) {
        stored = entries;
        return true;
    });
}

Result<bool> PasteboardStore::clearContentsIfString(std::string_view type, std::string_view text) {
    bool cleared = false;
    const Status status = update([&](Entries& entries) {
        const auto found = entries.find(type);
        if (found == entries.end() || found->second != text) {
            return false;
        }
        entries.clear();
        cleared = true;
        return true;
    });
    if (!status) {
        return status.error();
    }
    return cleared;
}

Status PasteboardStore::update(const std::function<bool(Entries&)>& change) {
    auto folderFd = openFolder(folder_, true);
    if (!folderFd) {
        return folderFd.error();
    }
    const WriterLock lock(folderFd.value().get());
    if (!lock.status()) {
        return lock.status();
    }
    Entries entries = readAllEntries(folderFd.value().get());
    if (!change(entries)) {
        return {};
    }
    return writeEntries(folderFd.value().get(), entries);
}

std::optional<std::string> PasteboardStore::stringForType(std::string_view type) const {
    const auto folderFd = openFolder(folder_, false);
    if (!folderFd) {
        return std::nullopt;
    }
    const Entries entries =
        readEntries(folderFd.value().get(), [type](std::string_view each) { return each == type; });
    if (const auto found = entries.find(type); found != entries.end()) {
        return found->second;
    }
    return std::nullopt;
}

bool PasteboardStore::hasString(std::string_view type) const {
    const auto folderFd = openFolder(folder_, false);
    if (!folderFd) {
        return false;
    }
    const Entries entries =
        readEntries(folderFd.value().get(), [](std::string_view) { return false; });
    return entries.find(type) != entries.end();
}

Result<std::optional<std::string>> PasteboardStore::readString(std::string_view type) const {
    auto folderFd = openFolder(folder_, false);
    if (!folderFd) {
        if (folderFd.error().kind == ErrorKind::notFound) {
            return std::optional<std::string>{};
        }
        return folderFd.error();
    }
    auto entries = tryReadEntries(folderFd.value().get(),
                                  [type](std::string_view each) { return each == type; });
    if (!entries) {
        return entries.error();
    }
    if (const auto found = entries.value().find(type); found != entries.value().end()) {
        return std::optional<std::string>{found->second};
    }
    return std::optional<std::string>{};
}

}  // namespace quenta::linux_platform
