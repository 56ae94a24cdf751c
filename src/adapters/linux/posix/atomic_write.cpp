#include "adapters/linux/posix/atomic_write.hpp"

#include "adapters/linux/posix/file_system_posix.hpp"
#include "adapters/linux/posix/own_files.hpp"
#include "adapters/linux/posix/posix_error.hpp"
#include "adapters/linux/posix/unique_fd.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <random>

namespace quenta::linux_platform {
namespace {

constexpr std::size_t kLongestSideBase = 200;
constexpr int kMostSideNameTries = 100;

// A fresh side name: hidden, unlikely to be taken, and short enough for the filesystem whatever
// the length of the file's own name.
std::string freshSideName(const std::string& name, unsigned number) {
    return "." + name.substr(0, kLongestSideBase) + ".tmp" + std::to_string(number);
}

}  // namespace

Status writeAtomically(const std::string& path, std::string_view contents,
                       const AtomicWriteOptions& options) {
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "./" : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty()) {
        return errorFromErrno(EISDIR);
    }
    const UniqueFd folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folderFd.valid()) {
        const int failure = errno;
        return options.nameSideInErrors ? errorFromErrno(failure, folder) : errorFromErrno(failure);
    }
    return writeAtomicallyIn(folderFd.get(), folder, name, contents, options);
}

Status writeAtomicallyIn(int folderFd, const std::string& folder, const std::string& name,
                         std::string_view contents, const AtomicWriteOptions& options) {
    if (name.empty()) {
        return errorFromErrno(EISDIR);
    }
    std::string sideName;
    UniqueFd fd;
    std::optional<Error> openFailure;
    if (!options.sideName.empty()) {
        // Reused, so it may be there already: only a regular file of the user's own, emptied
        // once it is known to be one.
        sideName = options.sideName;
        auto opened = openOwnFile(folderFd, sideName, O_WRONLY | O_CREAT, options.mode);
        if (!opened) {
            openFailure = opened.error();
        } else if (::ftruncate(opened.value().get(), 0) != 0) {
            openFailure = errorFromErrno(errno);
        } else {
            fd = std::move(opened).value();
        }
    } else {
        std::random_device seed;
        std::mt19937 random(seed());
        int openErrno = 0;
        for (int attempt = 0; attempt < kMostSideNameTries && !fd.valid(); ++attempt) {
            sideName = freshSideName(name, static_cast<unsigned>(random()));
            // Exclusive and never through a link.
            fd = UniqueFd(::openat(folderFd, sideName.c_str(),
                                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                   options.mode));
            openErrno = errno;
            if (!fd.valid() && openErrno != EEXIST) {
                break;
            }
        }
        if (!fd.valid()) {
            openFailure = options.nameSideInErrors ? errorFromErrno(openErrno, folder + sideName)
                                                   : errorFromErrno(openErrno);
        }
    }
    const std::string side =
        folder + (folder.empty() || folder.back() == '/' ? "" : "/") + sideName;
    const auto failure = [&](int errnoValue) {
        return options.nameSideInErrors ? errorFromErrno(errnoValue, side)
                                        : errorFromErrno(errnoValue);
    };
    if (openFailure) {
        return *openFailure;
    }

    int failed = writeAll(fd.get(), contents) ? 0 : errno;
    if (failed == 0 && options.beforeFlush) {
        failed = options.beforeFlush(fd.get());
    }
    // On disk before it replaces the old contents, so a crash leaves the old or the new file.
    if (failed == 0 && ::fsync(fd.get()) != 0) {
        failed = errno;
    }
    if (const int closed = fd.close(); failed == 0) {
        failed = closed;
    }
    if (failed == 0 && ::renameat(folderFd, sideName.c_str(), folderFd, name.c_str()) != 0) {
        failed = errno;
    }
    if (failed != 0) {
        ::unlinkat(folderFd, sideName.c_str(), 0);
        return failure(failed);
    }
    // Make the rename itself durable.
    ignoreResult(::fsync(folderFd),
                 "the new file is in place; a folder that cannot be flushed keeps it anyway");
    return {};
}

}  // namespace quenta::linux_platform
