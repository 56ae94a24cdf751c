#pragma once

#include "ports/directory_handles.hpp"
#include "ports/error.hpp"
#include "ports/file_system.hpp"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quenta {

// The points of a move by copy at which a test may fail the step or stop the process.
enum class MoveStep {
    copyFile,     // before a regular file is copied; path: the file, relative to the item
    placeCopy,    // the copy is whole and flushed, before it gets its name; path: the destination
    removeEntry,  // before a copied source entry is removed; path: "NAME/relative" of the entry
};

// What a move whose copy is whole records before the copy takes its name: the paths, the hidden
// name the copy had until then, and the identities of the source's top and of the copy's top,
// which tell later whether the items at those paths are still the move's own.
struct MoveRecord {
    std::string from;
    std::string to;
    std::string partial;
    std::uint64_t fromDevice = 0;
    std::uint64_t fromInode = 0;
    std::uint64_t copyDevice = 0;
    std::uint64_t copyInode = 0;
    friend bool operator==(const MoveRecord&, const MoveRecord&) = default;
};

// Where moves record their intent, so a process that dies part-way leaves what the next one needs
// to finish the move or undo it.
class MoveJournal {
  public:
    virtual ~MoveJournal() = default;
    // Writes the record and has it on disk before answering; answers what drop takes.
    [[nodiscard]] virtual Result<std::string> write(const MoveRecord& record) = 0;
    // The move has ended, however it ended.
    virtual void drop(const std::string& written) = 0;
};

// Moves an item to another filesystem by copying it, over directory handles only.
//
// The item is copied under a hidden sibling of the destination (a name `partialName` suggests,
// created exclusively), flushed, recorded in the journal, given its name without replacing
// anything, and the rename flushed. Only then are the source entries removed, bottom-up, and only
// those that were copied and are unchanged (device and inode, and for a file its size and
// modification time); what appeared or changed stays, and so does the folder that holds it. Every
// check and removal goes through the handle of the folder that holds the entry, opened without
// following links and compared with the device and inode recorded at the copy, so a folder
// swapped for a link redirects nothing. A folder of the source that another program moves away or
// removes meanwhile stops the removal; the outcome names where it was and where it is now. The
// copy of every entry that stays is removed, so nothing exists twice; when nothing of the source
// could be removed, the copy goes and the move fails with the removal's error. A folder is never
// copied into its own tree, whatever links or mounts lead there.
class MoveEngine {
  public:
    struct Setup {
        MoveObserver* observer = nullptr;
        MoveJournal* journal = nullptr;
        // A fresh candidate for the copy's hidden name, given the destination's name.
        std::function<std::string(const std::string& name)> partialName;
        // Fails the step with the error answered, for failures that cannot be provoked for real.
        std::function<std::optional<Error>(MoveStep, const std::string& path)> fault;
    };

    MoveEngine(DirectoryHandles& handles, Setup setup)
        : handles_(handles), setup_(std::move(setup)) {}

    // Moves `from` to `to` (absolute paths on different filesystems) as described above.
    Result<MoveOutcome> move(const std::string& from, const std::string& to);

  private:
    struct Entry {
        std::string relative;  // "" for the top, else "a/b" below it
        std::string name;
        EntryStatus info;  // what the entry was when it was copied
        std::vector<std::size_t> children;
        bool stays = false;  // still at the source after the removal
        bool gone = false;   // no longer at the source when it was to be removed
        bool named = false;  // reported as left at the source itself
    };
    // A folder of the source being emptied: the handle of the folder that holds it by name, its
    // entry, and its own handle.
    struct Held {
        const FolderHandle* parent;
        std::size_t index;
        const FolderHandle* folder;
    };

    std::optional<Error> fault(MoveStep step, const std::string& path) const;
    Status intoItself(const std::string& destinationFolder, const EntryStatus& top);
    Status scan(const FolderHandle& parent, const std::string& name, const std::string& relative);
    Status copyEntry(std::size_t index, const FolderHandle& from, const FolderHandle& to,
                     const std::string& toName);
    Status copyFolder(std::size_t index, const FolderHandle& from, const FolderHandle& to,
                      const std::string& toName);
    Status keepForFlush(FolderHandle folder);
    Status flushKept();
    bool inPlace();
    void markStays(std::size_t index);
    void markGone(std::size_t index);
    bool removeEntry(std::size_t index, const FolderHandle& parent);
    void removeCopiesOfWhatStays(std::size_t index, const FolderHandle& parent,
                                 const std::string& name);
    Error failWith(Error error, const FolderHandle& destination, const std::string& record);
    Result<MoveOutcome> finish(const FolderHandle& destination, const std::string& toName);

    DirectoryHandles& handles_;
    Setup setup_;
    std::vector<Entry> entries_;
    std::uint64_t totalBytes_ = 0;
    // Hard links within the tree: the first copy of each (device, inode), relative to the top.
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::string> firstCopies_;
    const FolderHandle* partialParent_ = nullptr;
    std::string partialName_;
    bool topCreated_ = false;  // something exists under the partial name, and it is ours
    std::vector<FolderHandle> unflushed_;
    std::string from_;
    std::string fromName_;
    std::vector<Held> held_;
    std::size_t removed_ = 0;
    std::optional<Error> removalError_;
    bool changed_ = false;
    std::optional<MoveOutcome::MovedAway> movedAway_;
};

// Removes the entry `name` of `parent` with everything inside it, through handles. Folders of a
// copy being undone are made writable first (`makeWritable`), as their modes may forbid removing
// what they hold.
Status removeTree(DirectoryHandles& handles, const FolderHandle& parent, const std::string& name,
                  bool makeWritable);

// Ends the move of a record that a process which died part-way left: forward when the copy has
// its name (the source entries it holds unchanged go; those that differ stay at both places and
// are named), backward when it still has its hidden one (the copy goes, the source stays whole).
// Only while the items at both paths are still the move's own (device and inode as recorded).
// None when the record cannot be acted on now (its destination folder cannot be opened).
std::optional<InterruptedMove> finishRecordedMove(DirectoryHandles& handles,
                                                  const MoveRecord& record);

}  // namespace quenta
