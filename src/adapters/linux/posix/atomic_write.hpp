#pragma once

#include "ports/error.hpp"

#include <sys/types.h>

#include <functional>
#include <string>
#include <string_view>

namespace quenta::linux_platform {

// How writeAtomically names and prepares its side file.
struct AtomicWriteOptions {
    // The side file's name in the file's folder. Empty: a fresh hidden name, created exclusively
    // (for writers that may run at the same time). A fixed name is truncated and reused, for
    // writers that hold a lock of their own, but only when it is a regular file of the user's own
    // (see openOwnFile).
    std::string sideName;
    // The side file's permission bits, less the creation mask.
    mode_t mode = 0666;
    // Run on the side file once it holds the contents, before the flush (to set its times, read
    // its status, ...): 0, or the errno value that fails the write.
    std::function<int(int fd)> beforeFlush;
    // Whether errors name the side file ("<side>: description") or give the description alone.
    bool nameSideInErrors = false;
};

// The one atomic replacement of a file: writes `contents` to a side file in the same folder,
// flushes it to disk, renames it over `path` and flushes the folder, so readers and a crash see
// the old file or the new one, never part of one. The rename replaces a link at `path` itself,
// never what it points to. On failure the side file is removed and `path` is left as it was.
Status writeAtomically(const std::string& path, std::string_view contents,
                       const AtomicWriteOptions& options = {});

// The same for the file `name` in the folder open as `folderFd`, every step relative to that
// handle; `folder` (its path) only names the side file in errors.
Status writeAtomicallyIn(int folderFd, const std::string& folder, const std::string& name,
                         std::string_view contents, const AtomicWriteOptions& options = {});

}  // namespace quenta::linux_platform
