#pragma once

#include "ports/file_system.hpp"

#include <functional>
#include <string>

namespace quenta::linux_platform {

// The points of a cross-filesystem move at which a test may inject a failure or stop the process.
enum class MoveStep {
    copyFile,     // before a regular file is copied; path: the source file
    placeCopy,    // the copy is whole and flushed, before it gets its name; path: the destination
    removeEntry,  // before a copied source entry is removed; path: that entry
};

// Errors to inject in place of what the kernel answered, for failures root cannot provoke.
struct MoveFaults {
    // Returns an errno value to fail the step with, or 0 to go ahead.
    std::function<int(MoveStep step, const std::string& path)> inject;
};

// Moves the item at `from` to `to`, never replacing anything at `to` (renameat2 with
// RENAME_NOREPLACE). A symbolic link moves as a link.
//
// Across filesystems (EXDEV) the item is copied into a hidden sibling of `to`, named
// ".NAME.quenta-partial-PID-START-XXXXXX" (PID and START: the copying process and its start time)
// and created exclusively; nothing appears under `to` until the whole copy is flushed. Kept:
// contents (copy_file_range, else sendfile; holes of sparse files stay holes), extended
// attributes and ACLs, hard links within the tree, modes, owners where permitted, access and
// modification times to the nanosecond, symbolic links as links, FIFOs, sockets and device nodes
// (where the kernel permits creating them; refused with its message where not). Every file is
// flushed through its own handle, in batches (no flush of the whole filesystem, so other programs'
// writes are never waited for); the copy is then renamed into place
// (RENAME_NOREPLACE) and the rename flushed with its folder. Only then are the source entries
// removed, bottom-up, and only those that were copied and are unchanged (same device, inode, size
// and modification time); what appeared or changed stays, and so does the folder that holds it.
// Every check and removal is made through the handle of the folder that holds the entry, opened
// without following links and compared with the device and inode recorded at the copy, so a
// folder swapped for a link redirects nothing, and paths of any length work. A folder of the
// source that another program moves away or removes meanwhile stops the removal: the outcome
// names where it was and where it is now.
// The copy of every entry that stays is removed, so nothing exists twice. When nothing of the
// source could be removed (a read-only source, a second mover that won), the copy goes and the
// move fails with the removal's error. A folder is never copied into its own tree.
//
// A hidden partial item left by a process that is gone (or whose PID now names another process,
// told by the start time) is removed by the next cross-filesystem move into the same folder.
//
// Failures carry the C library's description of the errno. Synchronous; caller's thread.
//
// With a `journalFolder`, the move's intent is recorded there ("PID-START-XXXXXX.move", flushed
// with its folder) before the copy takes its name, and the record goes when the move has ended;
// finishInterruptedMoves ends what a process that died in between left.
Result<MoveOutcome> moveFileSystemItem(const std::string& from, const std::string& to,
                                       MoveObserver* observer = nullptr,
                                       const MoveFaults& faults = {},
                                       const std::string& journalFolder = {});

// Ends the moves recorded in `journalFolder` by processes that are gone. A copy that had taken its
// name is kept and the source entries it holds unchanged are removed, through handles opened
// without following links, provided the items at both paths are still the move's own (device and
// inode as recorded); entries that differ from their copy stay at both places and are named. A
// copy that still had its hidden name is removed, the source untouched. Records of live processes
// and records another process is finishing are left alone.
std::vector<InterruptedMove> finishInterruptedMoves(const std::string& journalFolder);

}  // namespace quenta::linux_platform
