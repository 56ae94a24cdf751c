// Interim: the move, trash and atomic-write operations are being built; until then they refuse.
#include "platform/linux/file_system_posix.hpp"

namespace quenta::linux_platform {

namespace {
Error notYet() {
    return Error{ErrorKind::unsupported, "Operation not supported"};
}
}  // namespace

Status PosixFileSystem::moveItem(const std::string&, const std::string&) {
    return notYet();
}
Status PosixFileSystem::trashItem(const std::string&) {
    return notYet();
}
Status PosixFileSystem::writeFileAtomically(const std::string&, std::string_view) {
    return notYet();
}
std::string PosixFileSystem::temporaryDirectory() const {
    return "/tmp";
}
std::optional<std::string> PosixFileSystem::resolvedPath(const std::string&) const {
    return std::nullopt;
}

}  // namespace quenta::linux_platform
