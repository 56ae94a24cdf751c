// The atomic write, the temporary folder and the trash operations of PosixFileSystem.
#include "adapters/linux/posix/atomic_write.hpp"
#include "adapters/linux/posix/file_system_posix.hpp"
#include "adapters/linux/posix/trash_posix.hpp"

#include <string>

namespace quenta::linux_platform {

Status PosixFileSystem::writeFileAtomically(const std::string& path, std::string_view contents) {
    // Mode 0666 less the creation mask, as for any new file.
    return writeAtomically(path, contents);
}

std::string PosixFileSystem::temporaryDirectory() const {
    std::string folder = "/tmp";
    if (const char* tmp = absolutePathFromEnvironment("TMPDIR")) {
        folder = tmp;
    }
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder;
}

Status PosixFileSystem::trashItem(const std::string& path) {
    return PosixTrash().trash({path}).front();
}

bool PosixFileSystem::hasUsableTrash(const std::string& path) const {
    return linux_platform::hasUsableTrash(path);
}

std::vector<Status> PosixFileSystem::trashItems(const std::vector<std::string>& paths,
                                                const StopRequest* stop) {
    return PosixTrash().trash(paths, stop);
}

}  // namespace quenta::linux_platform
