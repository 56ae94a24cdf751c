#pragma once

#include "adapters/linux/posix/unique_fd.hpp"

#include <sys/types.h>

namespace quenta::linux_platform {

// A new regular file in the folder `folder` that has no name yet (O_TMPFILE): whatever happens to
// the process before it is linked, nothing of it is ever seen, and it vanishes with its
// descriptor. Invalid, errno set, when the filesystem or the kernel cannot make one; callers then
// fall back to a file under a hidden name.
UniqueFd openUnnamedFile(int folder, mode_t mode);

// Gives the unnamed file `fd` the name `name` in `folder`, never replacing anything (EEXIST when
// the name is taken). 0 or the errno.
int linkUnnamedFile(int fd, int folder, const char* name);

// Whether a failure of openUnnamedFile means only that unnamed files are not available here.
bool unnamedFilesUnsupported(int errnoValue);

}  // namespace quenta::linux_platform
