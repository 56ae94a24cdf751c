#pragma once

#include "core/shared/move_engine.hpp"
#include "ports/file_system.hpp"

#include <functional>
#include <string>

namespace quenta::linux_platform {

// The points of a cross-filesystem move at which a test may inject a failure or stop the process.
using quenta::MoveStep;

// Errors to inject in place of what the kernel answered, for failures root cannot provoke.
struct MoveFaults {
    // Returns an errno value to fail the step with, or 0 to go ahead.
    std::function<int(MoveStep step, const std::string& path)> inject;
};

// Moves the item at `from` to `to`, never replacing anything at `to` (renameat2 with
// RENAME_NOREPLACE). A symbolic link moves as a link.
//
// Across filesystems (EXDEV) the core's MoveEngine copies, verifies and removes over
// PosixDirectoryHandles (see there for what a copy keeps and how it is flushed). The copy's hidden
// name is ".NAME.quenta-partial-PID-START-XXXXXX" (PID and START: the copying process and its
// start time); a hidden partial item left by a process that is gone (or whose PID now names
// another process, told by the start time) is removed by the next cross-filesystem move into the
// same folder.
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

// Ends the moves recorded in `journalFolder` by processes that are gone, each as
// finishRecordedMove does. Records of live processes and records another process is finishing
// are left alone.
std::vector<InterruptedMove> finishInterruptedMoves(const std::string& journalFolder);

}  // namespace quenta::linux_platform
