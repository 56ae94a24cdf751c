#pragma once

#include "ports/directory_handles.hpp"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quenta::testing {

// A filesystem in memory: items (inodes) with their data, mode, times and extended attributes,
// folders that map names to items, symbolic links, hard links, and more than one device. A handle
// holds its folder's item, so it follows the folder through renames and outlives its removal, as
// a descriptor does. Nothing is on disk until flushWritten.
//
// `beforeOperation` is called before each operation acts, with the operation and the entry's
// name; it may change the tree meanwhile (as another program would, through the path helpers
// below) and answer an error to fail the operation with instead.
class FakeDirectoryHandles : public DirectoryHandles {
  public:
    enum class Operation {
        openFolder,
        list,
        status,
        copyFile,
        make,
        applyMetadata,
        rename,
        remove,
        flush,
    };
    std::function<std::optional<Error>(Operation, const std::string& name)> beforeOperation;
    // The most bytes one step of copyFile copies before it asks whether to stop.
    std::uint64_t copyStep = std::uint64_t{1} << 20;

    FakeDirectoryHandles();

    // What a test (or another program) does by path; every folder on the way must exist. Links
    // along a path are followed, never the last component.
    void addFolder(const std::string& path);
    void addFile(const std::string& path, const std::string& data, unsigned mode = 0644);
    void addSymlink(const std::string& path, const std::string& target);
    // A folder that is the top of a filesystem of its own (another device).
    void addFilesystem(const std::string& path);
    void renamePath(const std::string& from, const std::string& to);
    void removePath(const std::string& path);  // with everything in it
    // Replaces the file's data, as a program writing it would (a new modification time).
    void rewriteFile(const std::string& path, const std::string& data);

    [[nodiscard]] bool exists(const std::string& path) const;
    // A file's data or a link's target; none when nothing is there.
    [[nodiscard]] std::optional<std::string> contents(const std::string& path) const;
    // Files written by copyFile that were not flushed yet.
    [[nodiscard]] std::size_t unflushedFiles() const { return unflushed_.size(); }
    [[nodiscard]] std::size_t openHandles() const { return handles_.size(); }

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
    struct Item {
        EntryStatus status;
        std::string data;  // a file's bytes, a link's target
        std::map<std::string, std::string> attributes;
        std::map<std::string, std::uint64_t> entries;  // a folder's names
        std::uint64_t parent = 0;                      // a folder's folder; 0 once removed
    };

    std::uint64_t newItem(EntryStatus::Type type, std::uint64_t device);
    Item& at(std::uint64_t inode) { return items_.at(inode); }
    const Item& at(std::uint64_t inode) const { return items_.at(inode); }
    Item& folderOf(const FolderHandle& handle) { return at(handles_.at(handle.id())); }
    // The item at the path (links along it followed, the last one too when `followLast`), or 0.
    [[nodiscard]] std::uint64_t lookUp(const std::string& path, bool followLast) const;
    // The folder holding the path's last component, and that component.
    std::pair<std::uint64_t, std::string> parentOf(const std::string& path) const;
    void link(std::uint64_t folder, const std::string& name, std::uint64_t inode);
    void unlink(std::uint64_t folder, const std::string& name);
    std::optional<Error> before(Operation operation, const std::string& name);
    FileTime tick();

    std::map<std::uint64_t, Item> items_;
    std::map<std::intptr_t, std::uint64_t> handles_;
    std::vector<std::uint64_t> unflushed_;
    std::uint64_t nextInode_ = 1;
    std::uint64_t nextDevice_ = 1;
    std::intptr_t nextHandle_ = 3;
    std::int64_t clock_ = 1'700'000'000;
    std::uint64_t root_ = 0;
};

}  // namespace quenta::testing
