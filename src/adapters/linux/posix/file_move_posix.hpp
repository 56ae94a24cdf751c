#pragma once

#include "ports/error.hpp"

#include <functional>
#include <string>

namespace quenta::linux_platform {

// Errors to inject in place of what the kernel answered, for failures root cannot provoke.
struct MoveFaults {
    // Called before each regular file of a cross-filesystem copy is copied, with the path of the
    // source file; returns an errno value to fail the copy with, or 0 to go ahead.
    std::function<int(const std::string& sourceFile)> copyFile;
};

// Moves the item at `from` to `to`, never replacing anything at `to` (renameat2 with
// RENAME_NOREPLACE). A symbolic link moves as a link.
//
// Across filesystems (EXDEV) the whole tree is copied to `to`: regular files with their contents
// (copy_file_range, else sendfile, else read/write), modes, owners where permitted and access and
// modification times; folders likewise; symbolic links as links; FIFOs and device nodes as new
// nodes. Hard links inside the tree become separate files. The copy is flushed to disk (syncfs of
// the destination's filesystem) and only then is the source removed. A copy that fails midway is
// removed and the source left whole. A folder is never copied into its own tree, wherever links
// lead. If the source cannot be removed after a complete copy, the copy is kept (nothing is lost)
// and the removal's failure is reported.
//
// Failures carry the C library's description of the errno. Synchronous; caller's thread.
Status moveFileSystemItem(const std::string& from, const std::string& to,
                          const MoveFaults& faults = {});

}  // namespace quenta::linux_platform
