#include "adapters/linux/posix/defaults_json_file.hpp"

#include "adapters/linux/posix/atomic_write.hpp"
#include "adapters/linux/posix/file_system_posix.hpp"
#include "adapters/linux/posix/own_files.hpp"
#include "adapters/linux/posix/posix_error.hpp"
#include "adapters/linux/posix/unique_fd.hpp"
#include "core/shared/file_paths.hpp"

#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

namespace quenta::linux_platform {

namespace {

using nlohmann::json;

constexpr const char* kDateMember = "$date";
// A defaults file is a handful of keys; anything this large is not one of ours.
constexpr off_t kMaxFileSize = off_t{4} * 1024 * 1024;

// What identifies one version of the file without reading it.
struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};

    bool operator==(const FileStamp& other) const {
        return exists == other.exists && device == other.device && inode == other.inode &&
               size == other.size && modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec;
    }
};

FileStamp stampOf(const struct stat& info) {
    return FileStamp{true, info.st_dev, info.st_ino, info.st_size, info.st_mtim};
}

bool isLater(const timespec& a, const timespec& b) {
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

json emptyDocument() {
    return json::object();
}

// The deepest nesting of objects and lists read: ours is two levels; a little room is left for
// members other programs keep, and none for documents made to exhaust memory or stack.
constexpr int kMaxDepth = 32;

json parseDocument(const std::string& text) {
    // The callback drops every value below the limit as it is parsed (nlohmann-json's parser
    // keeps its own stack, not the machine's), so a document of a million nested lists costs a
    // few bits each; such a document reads as malformed.
    bool tooDeep = false;
    const json::parser_callback_t boundDepth = [&tooDeep](int depth, json::parse_event_t, json&) {
        if (depth > kMaxDepth) {
            tooDeep = true;
            return false;
        }
        return true;
    };
    json document = json::parse(text, boundDepth, /*allow_exceptions=*/false);
    if (tooDeep || document.is_discarded() || !document.is_object()) {
        return emptyDocument();
    }
    return document;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

// The file as it is now, in its folder open as `folderFd` (none: the folder is missing). A
// missing, oversized, unreadable or malformed file is an empty document; so is one that is not a
// regular file of the user's own, and `refused` then says why it must not be replaced either.
// `stamp` tells which version was read.
json readDocument(const std::optional<int> folderFd, const std::string& path, FileStamp& stamp,
                  std::optional<Error>* refused = nullptr) {
    stamp = FileStamp{};
    if (!folderFd) {
        return emptyDocument();
    }
    auto file = openOwnFile(*folderFd, nameOf(path), O_RDONLY);
    if (!file) {
        if (refused != nullptr && file.error().kind == ErrorKind::permissionDenied) {
            *refused = refusedOwnFile(path);
        }
        return emptyDocument();
    }
    const int fd = file.value().get();
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return emptyDocument();
    }
    stamp = stampOf(info);
    std::string text;
    if (info.st_size > kMaxFileSize ||
        !readAtMost(fd, static_cast<std::size_t>(kMaxFileSize), text)) {
        return emptyDocument();
    }
    return parseDocument(text);
}

// Reads the file at `path` when its folder is one of the user's own.
json readDocument(const std::string& path, FileStamp& stamp) {
    const auto folder = openOwnFolder(folderOf(path));
    return readDocument(folder ? std::optional<int>(folder.value().get()) : std::nullopt, path,
                        stamp);
}

json dateValue(DefaultsDate date) {
    const auto milliseconds =
        std::chrono::floor<std::chrono::milliseconds>(date.time_since_epoch()).count();
    return json{{kDateMember, static_cast<std::int64_t>(milliseconds)}};
}

DefaultsValue typedValue(const json& value) {
    if (value.is_string()) {
        return value.get<std::string>();
    }
    if (value.is_object() && value.size() == 1) {
        const auto member = value.find(kDateMember);
        if (member != value.end() && member->is_number_integer()) {
            // Only instants the clock can represent; others are of no use as dates.
            using Ms = std::chrono::milliseconds;
            constexpr std::int64_t limit =
                std::chrono::duration_cast<Ms>(DefaultsDate::duration::max()).count();
            const bool tooLate = member->is_number_unsigned() &&
                                 member->get<std::uint64_t>() > static_cast<std::uint64_t>(limit);
            const auto count = tooLate ? limit + 1 : member->get<std::int64_t>();
            if (count <= limit && count >= -limit) {
                return DefaultsDate(std::chrono::duration_cast<DefaultsDate::duration>(Ms(count)));
            }
        }
    }
    return OtherDefaultsValue{};
}

}  // namespace

struct DefaultsJsonFile::State {
    std::mutex mutex;
    // The last version of the file that was read, and which one it was.
    bool cached = false;
    FileStamp stamp;
    json document = emptyDocument();
    // Changes that could not be stored yet: a value, or null for a removal.
    std::map<std::string, json, std::less<>> unsaved;

    const json& current(const std::string& path) {
        struct stat info {};
        FileStamp now;
        if (::lstat(path.c_str(), &info) == 0) {
            now = stampOf(info);
        }
        if (!cached || !(now == stamp)) {
            document = readDocument(path, stamp);
            cached = true;
        }
        return document;
    }
};

std::string DefaultsJsonFile::pathForDomain(std::string_view domain) {
    return appendingPathComponent(xdgBaseDirectory("XDG_CONFIG_HOME", ".config"),
                                  std::string(domain) + "/defaults.json");
}

DefaultsJsonFile::DefaultsJsonFile(std::string path)
    : path_(std::move(path)), state_(std::make_unique<State>()) {}

DefaultsJsonFile::~DefaultsJsonFile() = default;

std::optional<DefaultsValue> DefaultsJsonFile::object(std::string_view key) const {
    const std::lock_guard lock(state_->mutex);
    if (const auto pending = state_->unsaved.find(key); pending != state_->unsaved.end()) {
        if (pending->second.is_null()) {
            return std::nullopt;
        }
        return typedValue(pending->second);
    }
    const json& document = state_->current(path_);
    const auto found = document.find(key);
    if (found == document.end()) {
        return std::nullopt;
    }
    return typedValue(*found);
}

Status DefaultsJsonFile::setString(std::string_view key, std::string_view value) {
    return store(key, json(std::string(value)));
}

Status DefaultsJsonFile::setDate(std::string_view key, DefaultsDate value) {
    return store(key, dateValue(value));
}

Status DefaultsJsonFile::remove(std::string_view key) {
    return store(key, json(nullptr));
}

Status DefaultsJsonFile::store(std::string_view key, json value) {
    const std::lock_guard lock(state_->mutex);
    state_->unsaved.insert_or_assign(std::string(key), std::move(value));
    Status saved = save();
    if (saved.ok()) {
        state_->unsaved.clear();
    }
    return saved;
}

// Merges the unsaved changes into the file as it is now, under the lock every writer takes.
Status DefaultsJsonFile::save() {
    // The missing folders are created with mode 0700, as the folders of per-user configuration
    // should be.
    const std::string folderPath = folderOf(path_);
    auto folder = openOwnFolder(folderPath, CreateFolders::all);
    if (!folder) {
        return folder.error();
    }
    const int folderFd = folder.value().get();
    const std::string lockName = nameOf(path_) + ".lock";
    auto lockFile = openOwnFile(folderFd, lockName, O_RDWR | O_CREAT, 0600);
    if (!lockFile) {
        return lockFile.error();
    }
    while (::flock(lockFile.value().get(), LOCK_EX) != 0) {
        if (errno != EINTR) {
            return errorFromErrno(errno, path_ + ".lock");
        }
    }

    // Always the file itself, never the cache: another process may have written a moment ago.
    FileStamp previous;
    std::optional<Error> refused;
    json document = readDocument(folderFd, path_, previous, &refused);
    if (refused) {
        return *refused;
    }
    for (const auto& [key, value] : state_->unsaved) {
        if (value.is_null()) {
            document.erase(key);
        } else {
            document[key] = value;
        }
    }
    // Invalid UTF-8 in a key or value is written as U+FFFD rather than failing the write.
    const std::string text = document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";

    // The side file "<file>.new" is reused: every writer holds the lock.
    AtomicWriteOptions options;
    options.sideName = nameOf(path_) + ".new";
    options.mode = 0600;
    options.nameSideInErrors = true;
    struct stat info {};
    options.beforeFlush = [&previous, &info](int fd) {
        // A modification time strictly later than the version replaced, at full precision, so
        // readers that compare stamps always notice the change.
        timespec modified{};
        ::clock_gettime(CLOCK_REALTIME, &modified);
        if (previous.exists && !isLater(modified, previous.modified)) {
            modified = previous.modified;
            if (++modified.tv_nsec >= 1000000000L) {
                modified.tv_nsec = 0;
                ++modified.tv_sec;
            }
        }
        const timespec times[2] = {modified, modified};
        return ::futimens(fd, times) == 0 && ::fstat(fd, &info) == 0 ? 0 : errno;
    };
    if (Status wrote = writeAtomicallyIn(folderFd, folderPath, nameOf(path_), text, options);
        !wrote.ok()) {
        return wrote;
    }

    state_->document = std::move(document);
    state_->stamp = stampOf(info);
    state_->cached = true;
    return {};
}

}  // namespace quenta::linux_platform
