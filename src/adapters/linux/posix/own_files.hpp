#pragma once

#include "adapters/linux/posix/unique_fd.hpp"
#include "ports/error.hpp"

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace quenta::linux_platform {

// The files the programs keep in the user's folders (the logs, the defaults file with its lock and
// side file, the pasteboard store) are opened only through these. Whoever set the environment
// (HOME, XDG_*) may not be the user the process runs as (root started with another user's
// environment), so nothing there is trusted: no symbolic link is followed, nothing blocks in
// open() (a FIFO or a device planted in place of a file), and only a folder or regular file owned
// by the effective user is used.

// Why a file or folder that exists was not used: a permissionDenied error naming it.
Error refusedOwnFile(const std::string& path);

// Which missing folders openOwnFolder creates (mode 0700).
enum class CreateFolders { none, last, all };

// The folder at the absolute `path`, reached one component at a time: a link on the way is
// followed only when root or the effective user owns it (a link someone else planted is refused,
// as the kernel's protected_symlinks does in sticky folders), the last component is never a link,
// and the folder is used only when the effective user owns it. A refusal as above, or the errno
// error (notFound when it is missing and not to be created).
Result<UniqueFd> openOwnFolder(const std::string& path, CreateFolders create = CreateFolders::none);

// The regular file `name` in the folder, opened with `flags` (O_RDONLY, O_WRONLY or O_RDWR, with
// O_CREAT, O_EXCL or O_APPEND as needed; never O_TRUNC, which would act before the checks) plus
// O_NOFOLLOW, O_NONBLOCK and O_CLOEXEC, and kept only when it is a regular file owned by the
// effective user with no other hard link. A file created here gets `mode` less the creation mask.
Result<UniqueFd> openOwnFile(int folderFd, const std::string& name, int flags, mode_t mode = 0600);

// Appends to `bytes` what the descriptor holds from its offset to its end, as long as that is at
// most `limit` bytes: false when it holds more (some of it may have been appended) or cannot be
// read. Never reads more than `limit` + 1 bytes.
bool readAtMost(int fd, std::size_t limit, std::string& bytes);

}  // namespace quenta::linux_platform
