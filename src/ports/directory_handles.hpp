#pragma once

#include "ports/error.hpp"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quenta {

class DirectoryHandles;

// An open folder, owned: it stays the same folder whatever another program renames, removes or
// puts in its place by name. Closed when it goes. An empty handle (valid() false) opens nothing.
class FolderHandle {
  public:
    FolderHandle() = default;
    FolderHandle(DirectoryHandles& owner, std::intptr_t id) : owner_(&owner), id_(id) {}
    FolderHandle(FolderHandle&& other) noexcept
        : owner_(std::exchange(other.owner_, nullptr)), id_(other.id_) {}
    FolderHandle& operator=(FolderHandle&& other) noexcept;
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;
    ~FolderHandle() { reset(); }

    [[nodiscard]] bool valid() const { return owner_ != nullptr; }
    // What the port that opened it knows it by (a descriptor on POSIX).
    [[nodiscard]] std::intptr_t id() const { return id_; }
    void reset();

  private:
    DirectoryHandles* owner_ = nullptr;
    std::intptr_t id_ = -1;
};

// A point in time to the nanosecond.
struct FileTime {
    std::int64_t seconds = 0;
    std::int64_t nanoseconds = 0;
    friend bool operator==(const FileTime&, const FileTime&) = default;
};

// What an entry is, as its folder knows it; links are never followed.
struct EntryStatus {
    enum class Type { file, folder, symlink, fifo, socket, characterDevice, blockDevice };
    Type type = Type::file;
    // Which filesystem, and which item in it: two entries with the same pair are one item.
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;  // a file's bytes (holes included), a link's target length
    unsigned mode = 0;       // the permission bits, 07777
    unsigned links = 1;      // names the item has
    unsigned owner = 0;
    unsigned group = 0;
    std::uint64_t deviceNumber = 0;  // what a device node stands for
    FileTime accessed;
    FileTime modified;

    [[nodiscard]] bool sameItem(const EntryStatus& other) const {
        return device == other.device && inode == other.inode;
    }
    friend bool operator==(const EntryStatus&, const EntryStatus&) = default;
};

// Follows the copy of one file's data and may stop it.
class CopyProgress {
  public:
    virtual ~CopyProgress() = default;
    // `bytes` more of the file are copied (holes count as copied).
    virtual void copied(std::uint64_t bytes) = 0;
    // Asked between parts of the file: true ends the copy with ErrorKind::cancelled.
    [[nodiscard]] virtual bool cancelRequested() = 0;
};

// The operations a move is made of, each relative to a folder handle, never following a link at
// the entry named: what was checked through a handle is what is acted on, however the paths above
// it change meanwhile, and paths of any length work. Names are single components (no '/').
// Synchronous, on the caller's thread. Failures carry the platform's description, prefixed with
// nothing; the caller names the item.
class DirectoryHandles {
  public:
    virtual ~DirectoryHandles() = default;

    // The folder at an absolute path, the links along it followed (the path is the user's).
    [[nodiscard]] virtual Result<FolderHandle> openFolder(const std::string& path) = 0;
    // The folder `name` in `parent`; fails with notADirectory when the entry is a symbolic link,
    // whatever it leads to, or no folder.
    [[nodiscard]] virtual Result<FolderHandle> openFolderAt(const FolderHandle& parent,
                                                            const std::string& name) = 0;
    // The names in the folder, "." and ".." left out, in no particular order.
    [[nodiscard]] virtual Result<std::vector<std::string>> list(const FolderHandle& folder) = 0;
    // The entry `name` of the folder, not following a link.
    [[nodiscard]] virtual Result<EntryStatus> status(const FolderHandle& parent,
                                                     const std::string& name) = 0;
    // The opened folder itself.
    [[nodiscard]] virtual Result<EntryStatus> status(const FolderHandle& folder) = 0;
    // Where the opened folder is now, as an absolute path; empty when it was removed, or where the
    // platform cannot tell.
    [[nodiscard]] virtual std::string currentPath(const FolderHandle& folder) = 0;

    // Creates `toName` in `to` exclusively (never replacing or following anything there) and
    // copies the data of the regular file `fromName` into it; the ranges a sparse file does not
    // hold stay holes. Then gives the copy `as`'s owner (where permitted), mode and times, and the
    // source's extended attributes. Fails with cancelled when `progress` asks, leaving no copy.
    // What is written is flushed by the next flushWritten.
    virtual Status copyFile(const FolderHandle& from, const std::string& fromName,
                            const FolderHandle& to, const std::string& toName,
                            const EntryStatus& as, CopyProgress* progress) = 0;
    // Creates an empty folder only its owner may enter.
    virtual Status makeFolder(const FolderHandle& parent, const std::string& name) = 0;
    // Creates a symbolic link holding `target`.
    virtual Status makeSymlink(const FolderHandle& parent, const std::string& name,
                               const std::string& target) = 0;
    // The target a symbolic link holds.
    [[nodiscard]] virtual Result<std::string> readSymlink(const FolderHandle& parent,
                                                          const std::string& name) = 0;
    // Gives the item `toName` of `to` a second name, `name` in `parent`.
    virtual Status makeHardLink(const FolderHandle& to, const std::string& toName,
                                const FolderHandle& parent, const std::string& name) = 0;
    // Creates a FIFO, socket or device node of `as`'s type (and device number).
    virtual Status makeNode(const FolderHandle& parent, const std::string& name,
                            const EntryStatus& as) = 0;
    // Gives the entry `toName` of `to` `as`'s owner (where permitted), mode (not for a link) and
    // times, and the extended attributes of `fromName` in `from`.
    virtual Status applyMetadata(const FolderHandle& from, const std::string& fromName,
                                 const FolderHandle& to, const std::string& toName,
                                 const EntryStatus& as) = 0;
    // Renames, failing with alreadyExists when anything is at the new name, crossDevice between
    // filesystems.
    virtual Status renameNoReplace(const FolderHandle& fromParent, const std::string& fromName,
                                   const FolderHandle& toParent, const std::string& toName) = 0;
    // Removes the entry: an empty folder when `folder`, any other entry (a link as a link) when
    // not. Fails with alreadyExists for a folder that is not empty, notADirectory or isADirectory
    // when the entry is not of the kind said.
    virtual Status remove(const FolderHandle& parent, const std::string& name, bool folder) = 0;
    // Puts on disk every file copyFile wrote since the last flush, and their folders' entries
    // through `folders`. Nothing written by other programs is waited for.
    virtual Status flushWritten(const std::vector<const FolderHandle*>& folders) = 0;
    // Sets the permission bits of the entry, a folder's too (following no link).
    virtual Status setMode(const FolderHandle& parent, const std::string& name, unsigned mode) = 0;
    // Fails, saying why, unless the current user may create and remove entries in the folder (it
    // may be read-only, or on a read-only filesystem).
    virtual Status checkMayChange(const FolderHandle& folder) = 0;
    // The platform's own error of the kind, for a failure the caller finds itself: an entry found
    // gone (notFound), changed (changedMeanwhile), taken (alreadyExists), a folder to be moved
    // into itself (invalidArgument), a stop asked for (cancelled).
    [[nodiscard]] virtual Error failureOf(ErrorKind kind) = 0;

  protected:
    friend class FolderHandle;
    // Lets go of a handle this port opened.
    virtual void close(std::intptr_t id) = 0;
    FolderHandle handle(std::intptr_t id) { return {*this, id}; }
};

inline FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept {
    if (this != &other) {
        reset();
        owner_ = std::exchange(other.owner_, nullptr);
        id_ = other.id_;
    }
    return *this;
}

inline void FolderHandle::reset() {
    if (owner_ != nullptr) {
        std::exchange(owner_, nullptr)->close(id_);
    }
}

}  // namespace quenta
