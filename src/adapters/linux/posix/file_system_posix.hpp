#pragma once

#include "adapters/linux/posix/unique_fd.hpp"
#include "ports/file_system.hpp"

#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace quenta::linux_platform {

// The file system through POSIX calls. Creation is exclusive (O_EXCL, O_NOFOLLOW): nothing that is
// already at a path, a symbolic link included, is ever replaced or written through.
class PosixFileSystem : public FileSystem {
  public:
    PosixFileSystem() = default;
    ~PosixFileSystem() override;
    PosixFileSystem(const PosixFileSystem&) = delete;
    PosixFileSystem& operator=(const PosixFileSystem&) = delete;

    [[nodiscard]] bool itemExists(const std::string& path) const override;
    [[nodiscard]] bool isDirectory(const std::string& path) const override;
    Status writeNewFile(const std::string& path, std::string_view contents) override;
    Status setPermissions(const std::string& path, unsigned mode) override;
    Status createDirectory(const std::string& path) override;
    Status appendToFile(const std::string& path, std::string_view bytes) override;
    using FileSystem::moveItem;
    Result<MoveOutcome> moveItem(const std::string& from, const std::string& to,
                                 MoveObserver* observer) override;
    std::vector<InterruptedMove> finishInterruptedMoves() override;
    Status trashItem(const std::string& path) override;
    using FileSystem::trashItems;
    [[nodiscard]] std::vector<Status> trashItems(const std::vector<std::string>& paths,
                                                 const StopRequest* stop) override;
    Status writeFileAtomically(const std::string& path, std::string_view contents) override;
    [[nodiscard]] std::string temporaryDirectory() const override;
    [[nodiscard]] std::optional<std::string> resolvedPath(const std::string& path) const override;
    [[nodiscard]] bool sameContents(const std::string& first,
                                    const std::string& second) const override;
    [[nodiscard]] bool canCreateIn(const std::string& folder) const override;
    [[nodiscard]] bool hasUsableTrash(const std::string& path) const override;
    [[nodiscard]] std::string homeDirectory() const override;
    [[nodiscard]] std::string logsDirectory() const override;
    // Where moves across filesystems record their intent: "quenta-moves" in the logs folder.
    [[nodiscard]] std::string moveJournalFolder() const;

  private:
    // The file appended to last, kept open for the next line: a log gets one line an item of a
    // large paste or trash. It is opened again when another file is appended to, or when this one
    // has been removed meanwhile (so a removed log, or its removed folder, is noticed at the next
    // line). A log renamed away keeps receiving the lines of this process.
    std::mutex appendMutex_;
    std::string appendPath_;
    UniqueFd appendFd_;
};

// Writes all of `bytes` to the descriptor, retrying short writes and interruptions; false with
// errno set on failure.
bool writeAll(int fd, std::string_view bytes);

// Appends what the descriptor holds from its offset to its end to `bytes`, retrying
// interruptions; false on a read error.
bool readAll(int fd, std::string& bytes);

// The absolute path with every link, "." and ".." resolved; none when it cannot be resolved
// (errno tells why).
std::optional<std::string> realPath(const std::string& path);

// The value of an environment variable when it is set to an absolute path, else none.
const char* absolutePathFromEnvironment(const char* name);

// The one lookup of the user's XDG base folders: the folder an XDG variable (XDG_CONFIG_HOME,
// XDG_STATE_HOME, XDG_DATA_HOME, ...) names when it holds an absolute path, else the default
// below the home folder (".config", ".local/state", ".local/share", ...). No trailing slash.
std::string xdgBaseDirectory(const char* variable, std::string_view belowHome);

}  // namespace quenta::linux_platform
