#pragma once

#include "adapters/linux/posix/unique_fd.hpp"
#include "ports/directory_handles.hpp"

#include <cstddef>
#include <vector>

namespace quenta::linux_platform {

// Directory handles as descriptors: openat with O_NOFOLLOW|O_DIRECTORY, fstatat with
// AT_SYMLINK_NOFOLLOW, unlinkat, renameat2 with RENAME_NOREPLACE, copy_file_range (else sendfile,
// else read and write) over the data ranges of a file (SEEK_DATA, SEEK_HOLE). A file written is
// handed to the kernel's writeback at once (sync_file_range) and kept open until flushWritten,
// which waits for them all (fsync each, then each folder, several at once on short-lived threads,
// so they share the disk's cache flushes); more than kFlushBatch waiting are flushed early, so
// descriptors stay well under the usual limit. Failures carry the C library's description of the
// errno.
class PosixDirectoryHandles : public DirectoryHandles {
  public:
    static constexpr std::size_t kFlushBatch = 256;

    [[nodiscard]] Result<FolderHandle> openFolder(const std::string& path) override;
    [[nodiscard]] Result<FolderHandle> openFolderAt(const FolderHandle& parent,
                                                    const std::string& name) override;
    [[nodiscard]] Result<std::vector<std::string>> list(const FolderHandle& folder) override;
    [[nodiscard]] Result<EntryStatus> status(const FolderHandle& parent,
                                             const std::string& name) override;
    [[nodiscard]] Result<EntryStatus> status(const FolderHandle& folder) override;
    [[nodiscard]] std::string currentPath(const FolderHandle& folder) override;
    Status copyFile(const FolderHandle& from, const std::string& fromName, const FolderHandle& to,
                    const std::string& toName, const EntryStatus& as,
                    CopyProgress* progress) override;
    Status makeFolder(const FolderHandle& parent, const std::string& name) override;
    Status makeSymlink(const FolderHandle& parent, const std::string& name,
                       const std::string& target) override;
    [[nodiscard]] Result<std::string> readSymlink(const FolderHandle& parent,
                                                  const std::string& name) override;
    Status makeHardLink(const FolderHandle& to, const std::string& toName,
                        const FolderHandle& parent, const std::string& name) override;
    Status makeNode(const FolderHandle& parent, const std::string& name,
                    const EntryStatus& as) override;
    Status applyMetadata(const FolderHandle& from, const std::string& fromName,
                         const FolderHandle& to, const std::string& toName,
                         const EntryStatus& as) override;
    Status renameNoReplace(const FolderHandle& fromParent, const std::string& fromName,
                           const FolderHandle& toParent, const std::string& toName) override;
    Status remove(const FolderHandle& parent, const std::string& name, bool folder) override;
    Status flushWritten(const std::vector<const FolderHandle*>& folders) override;
    Status setMode(const FolderHandle& parent, const std::string& name, unsigned mode) override;
    Status checkMayChange(const FolderHandle& folder) override;
    [[nodiscard]] Error failureOf(ErrorKind kind) override;

  protected:
    void close(std::intptr_t id) override;

  private:
    int flushFiles();
    // How file data is copied; falls back once a call is refused for this kind of file.
    enum class Method { copyFileRange, sendFile, readWrite } method_ = Method::copyFileRange;
    std::vector<UniqueFd> unflushed_;
};

// fsync of each descriptor, several at once on short-lived threads so that they share the disk's
// cache flushes; answers each one's errno (0 when it is on disk), in the same order. Returns once
// all are done.
std::vector<int> flushEach(const std::vector<int>& fds);

// Copies the extended attributes (ACLs included) of the entry `inName` of `inDir` to the entry
// `outName` of `outDir`, never following a link. Names the destination cannot hold or the caller
// may not set are left out, as mv does. Answers 0 or an errno value.
int copyExtendedAttributes(int inDir, const std::string& inName, int outDir,
                           const std::string& outName);

}  // namespace quenta::linux_platform
