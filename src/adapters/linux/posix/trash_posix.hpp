#pragma once

#include "ports/error.hpp"
#include "ports/stop_request.hpp"

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quenta::linux_platform {

// Errors to inject in place of what the kernel answered, for failures root cannot provoke: each
// hook gets the item's path and returns an errno value to fail with, or 0 to go ahead.
struct TrashFaults {
    std::function<int(const std::string& item)> writeInfo;   // writing the item's info file
    std::function<int(const std::string& item)> move;        // renaming the item into files/
    std::function<int(const std::string& item)> removeInfo;  // removing an unused info file
};

// The freedesktop.org Trash, version 1.0, for the current user.
//
// Items on the filesystem of $XDG_DATA_HOME (default ~/.local/share) go to the home trash
// $XDG_DATA_HOME/Trash, created with mode 0700 when missing. Items on another filesystem go to the
// trash of that filesystem's top directory: $topdir/.Trash/$uid when .Trash is a real folder with
// the sticky bit and $uid is the user's own folder, else $topdir/.Trash-$uid (created 0700, owned
// by the user). Where neither can be used the item is refused and left where it is.
//
// For every item the info file is written first, whole, without a name (O_TMPFILE; where that is
// not available, created exclusively), and linked under a name free in both info/ and files/; it
// and its name are on disk before the item is renamed (RENAME_NOREPLACE) into files/. Info files
// are flushed in groups of at most 64 before their items move. A failure after the info file was
// named removes it. Nothing in a trash is ever overwritten; symbolic-linked trash folders, the
// trash itself, anything inside a trash and any folder that holds the trash are refused.
//
// Every info file is recorded, by name and inode, in a journal of the call under
// $XDG_STATE_HOME/QuentaApp (locked while the call runs) before it gets its name. A call first
// settles the journals of calls that ended: it removes each recorded info file that is still the
// same file and whose item is not in files/ (the process was killed between the two, or the info
// file of a failed move could not be removed), so a killed trash leaves at most 64 info files
// without their item, and only until the next trash. Info files of other programs, and those
// whose item is in files/, are never touched.
//
// Synchronous; runs on the caller's thread; keeps nothing in memory between calls.
class PosixTrash {
  public:
    PosixTrash() = default;
    explicit PosixTrash(TrashFaults faults) : faults_(std::move(faults)) {}

    // One outcome per item, in order. `stop` is asked before each item: once it answers yes, the
    // items begun are finished and the rest fail with ErrorKind::cancelled.
    [[nodiscard]] std::vector<Status> trash(const std::vector<std::string>& paths,
                                            const StopRequest* stop = nullptr) const;

  private:
    struct Batch;

    TrashFaults faults_;
};

// The value of an info file's Path key: every byte percent-encoded except ASCII letters, digits,
// "-", ".", "_", "~" and "/".
std::string encodedTrashPath(std::string_view path);

// The bytes an encoded path stands for; none when a "%" is not followed by two hex digits.
std::optional<std::string> decodedTrashPath(std::string_view encoded);

// The top directory (mount point) of the filesystem holding `path`, an absolute path without
// symbolic links whose item is on `device`: the highest folder above it on the same device.
std::string topDirectoryOf(const std::string& path, dev_t device);

// Whether an item at `path` could go to a trash: one on the filesystem of the data home, or a
// top-directory trash that exists for the user or could be made, as trash() would choose it;
// nothing is created. True when the item cannot be examined (the trash then says why).
bool hasUsableTrash(const std::string& path);

// The trash folder for the top directory `topdir` and user `uid`, created when missing, or why none
// can be used.
Result<std::string> topDirectoryTrash(const std::string& topdir, uid_t uid);

}  // namespace quenta::linux_platform
