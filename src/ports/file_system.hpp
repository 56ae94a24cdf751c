#pragma once

#include "ports/error.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quenta {

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
    // link included, is at the path; never follows a link and never replaces anything. Not atomic.
    virtual Status writeNewFile(const std::string& path, std::string_view contents) = 0;

    // Sets the POSIX permission bits of the item at the path, whatever the file-creation mask.
    virtual Status setPermissions(const std::string& path, unsigned mode) = 0;

    // Creates one folder with default attributes; never creates missing intermediate folders.
    virtual Status createDirectory(const std::string& path) = 0;

    // Appends `bytes` to the end of the file in one write, creating the file when it is missing but
    // never its folder. An existing file is never truncated. Used by the activity logs.
    virtual Status appendToFile(const std::string& path, std::string_view bytes) = 0;

    // Moves the item at `from` to `to` as the platform's move does: never replaces an existing item
    // at `to`; a symbolic link moves as a link; across filesystems the whole tree is copied,
    // flushed and only then the source removed, and a failed copy leaves the source whole and no
    // partial copy.
    virtual Status moveItem(const std::string& from, const std::string& to) = 0;

    // Moves the item to the user's Trash. Nothing in the Trash is ever overwritten.
    virtual Status trashItem(const std::string& path) = 0;

    // Moves each item to the Trash as trashItem does, in order; one outcome per item, in the same
    // order. Every item is tried whatever became of the others. An adapter may do the work of the
    // whole batch together (one flush to disk for all of it).
    [[nodiscard]] virtual std::vector<Status> trashItems(const std::vector<std::string>& paths) {
        std::vector<Status> outcomes;
        outcomes.reserve(paths.size());
        for (const auto& path : paths) {
            outcomes.push_back(trashItem(path));
        }
        return outcomes;
    }

    // Writes the file through a side file renamed into place, so readers see all or nothing.
    virtual Status writeFileAtomically(const std::string& path, std::string_view contents) = 0;

    // The current user's folder for temporary files.
    [[nodiscard]] virtual std::string temporaryDirectory() const = 0;

    // The path with symbolic links resolved, when the item exists; otherwise none.
    [[nodiscard]] virtual std::optional<std::string> resolvedPath(
        const std::string& path) const = 0;

    // The current user's home folder.
    [[nodiscard]] virtual std::string homeDirectory() const = 0;

    // The folder that holds the activity logs (on Linux $XDG_STATE_HOME, else ~/.local/state).
    [[nodiscard]] virtual std::string logsDirectory() const = 0;
};

}  // namespace quenta
