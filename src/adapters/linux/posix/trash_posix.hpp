#pragma once

#include "ports/error.hpp"

#include <sys/types.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quenta::linux_platform {

// Errors to inject in place of what the kernel answered, for failures root cannot provoke: each
// hook gets the item's path and returns an errno value to fail with, or 0 to go ahead.
struct TrashFaults {
    std::function<int(const std::string& item)> writeInfo;  // writing the item's info file
    std::function<int(const std::string& item)> move;       // renaming the item into files/
};

// The freedesktop.org Trash, version 1.0, for the current user.
//
// Items on the filesystem of $XDG_DATA_HOME (default ~/.local/share) go to the home trash
// $XDG_DATA_HOME/Trash, created with mode 0700 when missing. Items on another filesystem go to the
// trash of that filesystem's top directory: $topdir/.Trash/$uid when .Trash is a real folder with
// the sticky bit and $uid is the user's own folder, else $topdir/.Trash-$uid (created 0700, owned
// by the user). Where neither can be used the item is refused and left where it is.
//
// For every item the info file is created first, exclusively and never through a link, under a
// name that is free in both info/ and files/; it is complete and on disk before the item is renamed
// (RENAME_NOREPLACE) into files/. A failure after the info file was written removes it. Nothing in
// a trash is ever overwritten; symbolic-linked trash folders, the trash itself, anything inside a
// trash and any folder that holds the trash are refused.
//
// Synchronous; runs on the caller's thread; keeps no state between calls.
class PosixTrash {
  public:
    PosixTrash() = default;
    explicit PosixTrash(TrashFaults faults) : faults_(std::move(faults)) {}

    // One outcome per item, in order. A batch of several items writes all their info files, flushes
    // each trash's filesystem once (syncfs), and only then moves the items.
    [[nodiscard]] std::vector<Status> trash(const std::vector<std::string>& paths) const;

  private:
    struct Batch;
    [[nodiscard]] Status trashAlone(const std::string& path, Batch& batch) const;

    TrashFaults faults_;
};

// The value of an info file's Path key: every byte percent-encoded except ASCII letters, digits,
// "-", ".", "_", "~" and "/".
std::string encodedTrashPath(std::string_view path);

// The top directory (mount point) of the filesystem holding `path`, an absolute path without
// symbolic links whose item is on `device`: the highest folder above it on the same device.
std::string topDirectoryOf(const std::string& path, dev_t device);

// The trash folder for the top directory `topdir` and user `uid`, created when missing, or why none
// can be used.
Result<std::string> topDirectoryTrash(const std::string& topdir, uid_t uid);

}  // namespace quenta::linux_platform
