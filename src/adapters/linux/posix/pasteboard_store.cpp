#include "adapters/linux/posix/pasteboard_store.hpp"

#include "adapters/linux/posix/file_system_posix.hpp"
#include "adapters/linux/posix/posix_error.hpp"
#include "adapters/linux/posix/unique_fd.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Why the store's folder cannot be used though it exists: it is a link, not a folder, or someone
// else's.
Error refusedFolder(const std::string& folder) {
    return Error{ErrorKind::permissionDenied,
                 "the pasteboard store " + folder + " is not a folder of this user's own"};
}

// The store's folder, opened without following a link and only when it is a folder of the user's
// own; a folder anyone else may enter is closed to the user alone first.
Result<UniqueFd> openFolder(const std::string& folder, bool create) {
    if (create && ::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return errorFromErrno(errno, folder);
    }
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid()) {
        if (errno == ELOOP || errno == ENOTDIR) {
            return refusedFolder(folder);
        }
        return errorFromErrno(errno, folder);
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) {
        return refusedFolder(folder);
    }
    if ((info.st_mode & 077) != 0 && ::fchmod(fd.get(), 0700) != 0) {
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

// The entries of a serialized store; none when the bytes are not a whole store.
std::optional<Entries> parse(std::string_view bytes) {
    if (bytes.substr(0, kMagic.size()) != kMagic) {
        return std::nullopt;
    }
    bytes.remove_prefix(kMagic.size());
    Entries entries;
    while (!bytes.empty()) {
        std::size_t typeLength = 0;
        std::size_t textLength = 0;
        if (!readLength(bytes, ':', typeLength) || !readLength(bytes, '\n', textLength) ||
            typeLength > bytes.size() || textLength > bytes.size() - typeLength) {
            return std::nullopt;
        }
        entries.insert_or_assign(std::string(bytes.substr(0, typeLength)),
                                 std::string(bytes.substr(typeLength, textLength)));
        bytes.remove_prefix(typeLength + textLength);
    }
    return entries;
}

// The entries stored in the folder: empty when there is no store file, or it is not a regular
// file of the user's own, or it cannot be read whole.
// The entries of the store: none when there is no store file or it is not one of ours, an error
// when there is one that cannot be read.
Result<Entries> tryReadEntries(int folderFd) {
    UniqueFd fd(::openat(folderFd, kEntriesName, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid()) {
        if (errno == EACCES || errno == EIO || errno == ENOMEM || errno == EMFILE ||
            errno == ENFILE) {
            return errorFromErrno(errno, kEntriesName);
        }
        return Entries{};
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        return errorFromErrno(errno, kEntriesName);
    }
    if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
        return Entries{};
    }
    std::string bytes;
    if (!readAll(fd.get(), bytes)) {
        return errorFromErrno(errno, kEntriesName);
    }
    return parse(bytes).value_or(Entries{});
}

Entries readEntries(int folderFd) {
    auto entries = tryReadEntries(folderFd);
    return entries ? std::move(entries.value()) : Entries{};
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
    UniqueFd fd(
        ::openat(folderFd, kSideName, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.valid()) {
        return errorFromErrno(errno, kSideName);
    }
    if (!writeAll(fd.get(), serialize(entries)) || ::fsync(fd.get()) != 0 ||
        ::renameat(folderFd, kSideName, folderFd, kEntriesName) != 0) {
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
    explicit WriterLock(int folderFd)
        : fd_(::openat(folderFd, kLockName, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600)) {
        if (!fd_.valid()) {
            status_ = errorFromErrno(errno, kLockName);
            return;
        }
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
    Entries entries = readEntries(folderFd.value().get());
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
    const Entries entries = readEntries(folderFd.value().get());
    if (const auto found = entries.find(type); found != entries.end()) {
        return found->second;
    }
    return std::nullopt;
}

Result<std::optional<std::string>> PasteboardStore::readString(std::string_view type) const {
    auto folderFd = openFolder(folder_, false);
    if (!folderFd) {
        if (folderFd.error().kind == ErrorKind::notFound) {
            return std::optional<std::string>{};
        }
        return folderFd.error();
    }
    auto entries = tryReadEntries(folderFd.value().get());
    if (!entries) {
        return entries.error();
    }
    if (const auto found = entries.value().find(type); found != entries.value().end()) {
        return std::optional<std::string>{found->second};
    }
    return std::optional<std::string>{};
}

}  // namespace quenta::linux_platform
