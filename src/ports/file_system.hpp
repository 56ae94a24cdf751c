#pragma once

#include "ports/error.hpp"
#include "ports/stop_request.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quenta {

// Follows a move that copies (across filesystems) and may stop it. Called on the mover's thread,
// from inside FileSystem::moveItem; never called for a move that is a plain rename.
class MoveObserver {
  public:
    virtual ~MoveObserver() = default;
    // The copy of the item at `from` begins; `totalBytes` is the size of all its files.
    virtual void copyStarted(const std::string& from, std::uint64_t totalBytes) = 0;
    // `bytes` more of the item's files have been copied (holes of sparse files count as copied).
    virtual void copied(std::uint64_t bytes) = 0;
    // Asked before each file: true stops the move after the file being copied; the move then
    // fails with ErrorKind::cancelled, leaving the source whole and no copy.
    [[nodiscard]] virtual bool cancelRequested() = 0;
};

// What stayed at the source of a move that otherwise succeeded.
struct MoveOutcome {
    // Entries of the moved folder left where they were, topmost first: entries that appeared or
    // changed while the folder was copied, and entries that could not be removed. Their copies are
    // not kept at the destination, so nothing exists twice. Empty when the whole item moved.
    std::vector<std::string> leftAtSource;
    // Why entries could not be removed (the first such failure), when any could not.
    std::optional<Error> removalError;
    // A folder of the item that another program moved away, or removed, while its entries were
    // being removed: what of it was not removed yet stays there (and not at the destination).
    struct MovedAway {
        std::string from;  // where it was
        std::string now;   // where it is now; empty when it no longer exists
        friend bool operator==(const MovedAway&, const MovedAway&) = default;
    };
    std::optional<MovedAway> movedAway;

    friend bool operator==(const MoveOutcome&, const MoveOutcome&) = default;
};

// A move that a process which died part-way left, as the next process ended it.
struct InterruptedMove {
    std::string from;
    std::string to;
    // True when the copy had its name `to` and the move was finished: the source entries it holds
    // were removed. False when the move was undone: the copy went and the source stays whole.
    bool placed = false;
    // Entries that stay at `from` as they differ from their copy (both are kept).
    MoveOutcome outcome;
};

// The file system of the platform. Paths are plain absolute POSIX paths (no scheme, no
// percent-encoding). Every operation is synchronous and runs on the caller's thread.
//
// These paths are what the whole Linux core passes around, even where a name says URL: the
// names come from the file-URL API the logic was first written against, and callers and log
// lines know them, so they stay (QuentaCreator::uniqueURL, FinderSync::targetDirectoryURL,
// pathTargetURLs, frontFinderWindowURL, FileManagerController::setDirectoryURLs, ...). Each such
// "URL" is a path as described here.
class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // True when any directory entry exists at the path, a dangling symbolic link included.
    [[nodiscard]] virtual bool itemExists(const std::string& path) const = 0;

    // True only when the item at the path (following links) could be examined and is a folder.
    [[nodiscard]] virtual bool isDirectory(const std::string& path) const = 0;

    // Creates a new file holding `contents`. Fails with alreadyExists when any item, a symbolic
    // link included, is at the path; never follows a link and never replaces anything. The file
    // appears under its name only whole and on disk: an interrupted write leaves nothing there.
    virtual Status writeNewFile(const std::string& path, std::string_view contents) = 0;

    // Sets the POSIX permission bits of the item at the path, whatever the file-creation mask.
    virtual Status setPermissions(const std::string& path, unsigned mode) = 0;

    // Creates one folder with default attributes; never creates missing intermediate folders.
    virtual Status createDirectory(const std::string& path) = 0;

    // Appends `bytes` to the end of the file in one write, creating the file when it is missing but
    // never its folder. An existing file is never truncated. Used by the activity logs, so a file
    // or folder that is a symbolic link, not a regular file or folder, or not the user's own is
    // refused (permissionDenied) rather than written through or waited on.
    virtual Status appendToFile(const std::string& path, std::string_view bytes) = 0;

    // Moves the item at `from` to `to` as the platform's move does: never replaces an existing item
    // at `to`; a symbolic link moves as a link. Across filesystems the tree is copied under a
    // hidden name, flushed, given the name `to`, and only then are the source entries that were
    // copied removed; a failed or cancelled copy leaves the source whole and no copy. When none of
    // the source could be removed the copy is removed too and the move fails with the removal's
    // error; when part of it stays, the outcome names what stayed.
    virtual Result<MoveOutcome> moveItem(const std::string& from, const std::string& to,
                                         MoveObserver* observer) = 0;
    Result<MoveOutcome> moveItem(const std::string& from, const std::string& to) {
        return moveItem(from, to, nullptr);
    }

    // Ends the moves that processes which died part-way left (recorded by moveItem before any of
    // a source goes), so a move asked for again never copies a second time.
    virtual std::vector<InterruptedMove> finishInterruptedMoves() { return {}; }

    // Moves the item to the user's Trash. Nothing in the Trash is ever overwritten.
    virtual Status trashItem(const std::string& path) = 0;

    // Moves each item to the Trash as trashItem does, in order; one outcome per item, in the same
    // order. Every item is tried whatever became of the others, until `stop` (when given) asks to
    // stop: the items not begun then fail with ErrorKind::cancelled, and nothing of theirs is left
    // in the Trash. An adapter may do the work of several items together (one flush to disk).
    [[nodiscard]] virtual std::vector<Status> trashItems(const std::vector<std::string>& paths,
                                                         const StopRequest* stop) {
        std::vector<Status> outcomes;
        outcomes.reserve(paths.size());
        for (const auto& path : paths) {
            if (stop != nullptr && stop->stopRequested()) {
                outcomes.emplace_back(Error{ErrorKind::cancelled, "Stopped before it was moved."});
            } else {
                outcomes.push_back(trashItem(path));
            }
        }
        return outcomes;
    }
    [[nodiscard]] std::vector<Status> trashItems(const std::vector<std::string>& paths) {
        return trashItems(paths, nullptr);
    }

    // Writes the file through a side file renamed into place, so readers see all or nothing.
    virtual Status writeFileAtomically(const std::string& path, std::string_view contents) = 0;

    // The current user's folder for temporary files.
    [[nodiscard]] virtual std::string temporaryDirectory() const = 0;

    // The path with symbolic links resolved, when the item exists; otherwise none.
    [[nodiscard]] virtual std::optional<std::string> resolvedPath(
        const std::string& path) const = 0;

    // Whether both paths name regular files (links followed) with the same bytes: the same file
    // under two names, or two identical copies. False when either is missing or unreadable.
    [[nodiscard]] virtual bool sameContents(const std::string& first,
                                            const std::string& second) const = 0;

    // Whether the current user may create entries in the folder.
    [[nodiscard]] virtual bool canCreateIn(const std::string& folder) const = 0;

    // Whether the filesystem holding the item has a trash the current user can use, without
    // creating one: false where trashItem would refuse every item there for want of a trash
    // (a filesystem without one that the user could make). True when unsure.
    [[nodiscard]] virtual bool hasUsableTrash(const std::string& path) const {
        (void)path;
        return true;
    }

    // The current user's home folder.
    [[nodiscard]] virtual std::string homeDirectory() const = 0;

    // The folder that holds the activity logs (on Linux $XDG_STATE_HOME, else ~/.local/state).
    [[nodiscard]] virtual std::string logsDirectory() const = 0;
};

}  // namespace quenta
