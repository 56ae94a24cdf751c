#include "core/shared/move_engine.hpp"

#include "core/shared/file_paths.hpp"

#include <algorithm>
#include <utility>

namespace quenta {
namespace {

using Type = EntryStatus::Type;

// The most folders of a copy held open until they are flushed together with the files written
// meanwhile: one flush of the filesystem's journal covers a whole batch.
constexpr std::size_t kFlushBatch = 256;

std::string joined(const std::string& top, const std::string& relative) {
    return relative.empty() ? top : top + "/" + relative;
}

bool sameContents(const EntryStatus& now, const EntryStatus& then) {
    return now.sameItem(then) && now.type == then.type && now.size == then.size &&
           now.modified == then.modified;
}

// Hands the bytes of a file's copy on to the move's observer. Stopping is asked between files.
class FileProgress : public CopyProgress {
  public:
    explicit FileProgress(MoveObserver* observer) : observer_(observer) {}
    void copied(std::uint64_t bytes) override {
        if (observer_ != nullptr) {
            observer_->copied(bytes);
        }
    }
    bool cancelRequested() override { return false; }

  private:
    MoveObserver* observer_;
};

// The folder `relative` ("a/b") below `top`, opened one component at a time.
Result<FolderHandle> openBelow(DirectoryHandles& handles, const FolderHandle& top,
                               const std::string& relative) {
    auto current = handles.openFolderAt(top, ".");
    std::size_t start = 0;
    while (current && start < relative.size()) {
        const auto end = std::min(relative.find('/', start), relative.size());
        current = handles.openFolderAt(current.value(), relative.substr(start, end - start));
        start = end + 1;
    }
    return current;
}

// Finishes the removal of a source entry whose copy is in place: the entry goes when the copy
// holds it as it is (the same type; a file of the same size and modification time; a folder once
// everything in it went). Anything else stays, named in `left`. True when the entry went.
bool finishRemoval(DirectoryHandles& handles, const FolderHandle& sourceParent,
                   const std::string& sourceName, const FolderHandle& copyParent,
                   const std::string& copyName, const std::string& path,
                   std::vector<std::string>& left) {
    const auto source = handles.status(sourceParent, sourceName);
    if (!source) {
        return source.error().kind == ErrorKind::notFound;
    }
    const auto copy = handles.status(copyParent, copyName);
    if (!copy || copy.value().type != source.value().type) {
        left.push_back(path);
        return false;
    }
    const bool folder = source.value().type == Type::folder;
    if (folder) {
        const auto from = handles.openFolderAt(sourceParent, sourceName);
        const auto to = handles.openFolderAt(copyParent, copyName);
        const auto opened = from ? handles.status(from.value()) : Result<EntryStatus>(from.error());
        auto names =
            from ? handles.list(from.value()) : Result<std::vector<std::string>>(from.error());
        if (!to || !opened || !opened.value().sameItem(source.value()) || !names) {
            left.push_back(path);
            return false;
        }
        std::sort(names.value().begin(), names.value().end());
        bool all = true;
        for (const auto& name : names.value()) {
            all = finishRemoval(handles, from.value(), name, to.value(), name,
                                std::string(path).append("/").append(name), left) &&
                  all;
        }
        if (!all) {
            return false;
        }
    } else if (source.value().size != copy.value().size ||
               source.value().modified != copy.value().modified) {
        left.push_back(path);
        return false;
    }
    const Status removed = handles.remove(sourceParent, sourceName, folder);
    if (!removed && removed.error().kind != ErrorKind::notFound) {
        left.push_back(path);
        return false;
    }
    return true;
}

}  // namespace

Status removeTree(DirectoryHandles& handles, const FolderHandle& parent, const std::string& name,
                  bool makeWritable) {
    const auto status = handles.status(parent, name);
    if (!status) {
        return status.error();
    }
    if (status.value().type != Type::folder) {
        return handles.remove(parent, name, false);
    }
    if (makeWritable) {
        ignoreResult(handles.setMode(parent, name, 0700),
                     "a folder that stays read-only fails the removal below, which reports it");
    }
    const auto folder = handles.openFolderAt(parent, name);
    if (!folder) {
        return folder.error();
    }
    const auto names = handles.list(folder.value());
    if (!names) {
        return names.error();
    }
    for (const auto& child : names.value()) {
        if (Status removed = removeTree(handles, folder.value(), child, makeWritable); !removed) {
            return removed;
        }
    }
    return handles.remove(parent, name, true);
}

std::optional<InterruptedMove> finishRecordedMove(DirectoryHandles& handles,
                                                  const MoveRecord& record) {
    const auto destination = handles.openFolder(parentPath(record.to));
    if (!destination) {
        return std::nullopt;
    }
    const auto isCopy = [&](const std::string& name) {
        const auto status = handles.status(destination.value(), name);
        return status && status.value().device == record.copyDevice &&
               status.value().inode == record.copyInode;
    };
    InterruptedMove move{record.from, record.to, false, {}};
    if (!isCopy(lastPathComponent(record.to))) {
        if (isCopy(record.partial)) {
            ignoreResult(removeTree(handles, destination.value(), record.partial, true),
                         "a partial item that stays is removed by the next move into the folder");
        }
        return move;
    }
    move.placed = true;
    const auto source = handles.openFolder(parentPath(record.from));
    const std::string fromName = lastPathComponent(record.from);
    const auto top =
        source ? handles.status(source.value(), fromName) : Result<EntryStatus>(source.error());
    if (!top || top.value().device != record.fromDevice || top.value().inode != record.fromInode) {
        return move;  // the source is gone, or what is there now is no longer the move's
    }
    ignoreResult(
        finishRemoval(handles, source.value(), fromName, destination.value(),
                      lastPathComponent(record.to), record.from, move.outcome.leftAtSource),
        "what stays is named in the outcome");
    return move;
}

std::optional<Error> MoveEngine::fault(MoveStep step, const std::string& path) const {
    return setup_.fault ? setup_.fault(step, path) : std::nullopt;
}

// A folder copied into its own tree (through a filesystem mounted inside it, or a link that
// leads there) would never finish. The kernel refuses this for a rename; so does the copy: the
// folders from the destination's up to the top of the tree are none of them the source.
Status MoveEngine::intoItself(const std::string& destinationFolder, const EntryStatus& top) {
    auto current = handles_.openFolder(destinationFolder);
    while (current) {
        const auto here = handles_.status(current.value());
        if (!here) {
            return here.error();
        }
        if (here.value().sameItem(top)) {
            return handles_.failureOf(ErrorKind::invalidArgument);
        }
        auto above = handles_.openFolderAt(current.value(), "..");
        if (!above) {
            return above.error();
        }
        const auto there = handles_.status(above.value());
        if (!there) {
            return there.error();
        }
        if (there.value().sameItem(here.value())) {
            return {};  // the top of the tree
        }
        current = std::move(above);
    }
    return current.error();
}

Status MoveEngine::scan(const FolderHandle& parent, const std::string& name,
                        const std::string& relative) {
    auto status = handles_.status(parent, name);
    if (!status) {
        return status.error();
    }
    const std::size_t index = entries_.size();
    const bool folder = status.value().type == Type::folder;
    if (status.value().type == Type::file) {
        totalBytes_ += status.value().size;
    }
    entries_.push_back(Entry{relative, name, std::move(status).value(), {}});
    if (!folder) {
        return {};
    }
    const auto opened = handles_.openFolderAt(parent, name);
    if (!opened) {
        return opened.error();
    }
    auto names = handles_.list(opened.value());
    if (!names) {
        return names.error();
    }
    std::sort(names.value().begin(), names.value().end());
    for (const auto& child : names.value()) {
        entries_[index].children.push_back(entries_.size());
        if (Status scanned =
                scan(opened.value(), child,
                     relative.empty() ? child : std::string(relative).append("/").append(child));
            !scanned) {
            return scanned;
        }
    }
    return {};
}

Status MoveEngine::flushKept() {
    std::vector<const FolderHandle*> folders;
    folders.reserve(unflushed_.size());
    for (const auto& folder : unflushed_) {
        folders.push_back(&folder);
    }
    Status flushed = handles_.flushWritten(folders);
    unflushed_.clear();
    return flushed;
}

Status MoveEngine::keepForFlush(FolderHandle folder) {
    unflushed_.push_back(std::move(folder));
    return unflushed_.size() >= kFlushBatch ? flushKept() : Status{};
}

Status MoveEngine::copyFolder(std::size_t index, const FolderHandle& from, const FolderHandle& to,
                              const std::string& toName) {
    const Entry& entry = entries_[index];
    const auto source = handles_.openFolderAt(from, entry.name);
    if (!source) {
        return source.error();
    }
    // Private while it fills; its own mode is set once everything is inside.
    if (Status made = handles_.makeFolder(to, toName); !made) {
        return made;
    }
    topCreated_ = true;
    auto copy = handles_.openFolderAt(to, toName);
    if (!copy) {
        return copy.error();
    }
    for (const std::size_t child : entry.children) {
        if (Status copied = copyEntry(child, source.value(), copy.value(), entries_[child].name);
            !copied) {
            return copied;
        }
    }
    if (Status applied = handles_.applyMetadata(from, entry.name, to, toName, entry.info);
        !applied) {
        return applied;
    }
    return keepForFlush(std::move(copy).value());
}

Status MoveEngine::copyEntry(std::size_t index, const FolderHandle& from, const FolderHandle& to,
                             const std::string& toName) {
    const Entry& entry = entries_[index];
    const EntryStatus& info = entry.info;
    if (info.type == Type::folder) {
        return copyFolder(index, from, to, toName);
    }
    if (setup_.observer != nullptr && setup_.observer->cancelRequested()) {
        return handles_.failureOf(ErrorKind::cancelled);
    }
    if (info.links > 1) {
        const auto [first, isFirst] =
            firstCopies_.emplace(std::pair{info.device, info.inode}, entry.relative);
        if (!isFirst) {
            const std::string& relative = first->second;
            const auto slash = relative.rfind('/');
            const auto folder = openBelow(
                handles_, *partialParent_,
                joined(partialName_, slash == std::string::npos ? "" : relative.substr(0, slash)));
            if (!folder) {
                return folder.error();
            }
            if (Status linked = handles_.makeHardLink(
                    folder.value(),
                    slash == std::string::npos ? relative : relative.substr(slash + 1), to, toName);
                !linked) {
                return linked;
            }
            topCreated_ = true;
            if (setup_.observer != nullptr && info.type == Type::file) {
                setup_.observer->copied(info.size);
            }
            return {};
        }
    }
    if (info.type == Type::file) {
        if (auto injected = fault(MoveStep::copyFile, entry.relative)) {
            return *injected;
        }
        FileProgress progress(setup_.observer);
        if (Status copied = handles_.copyFile(from, entry.name, to, toName, info, &progress);
            !copied) {
            return copied;
        }
        topCreated_ = true;
        return {};
    }
    Status made;
    if (info.type == Type::symlink) {
        auto target = handles_.readSymlink(from, entry.name);
        made = target ? handles_.makeSymlink(to, toName, target.value()) : Status{target.error()};
    } else {
        made = handles_.makeNode(to, toName, info);
        if (!made) {
            // Named, as creating a device node needs a right the mover may lack.
            Error error = made.error();
            error.description =
                (entry.relative.empty() ? entry.name : entry.relative) + ": " + error.description;
            return error;
        }
    }
    if (!made) {
        return made;
    }
    topCreated_ = true;
    return handles_.applyMetadata(from, entry.name, to, toName, info);
}

// True while every folder from the cut's top down to the one being emptied is still the entry
// it was copied from, under its name in the folder above. A folder found elsewhere stops the
// removal; where it is now is kept for the report.
bool MoveEngine::inPlace() {
    if (movedAway_) {
        return false;
    }
    for (const Held& level : held_) {
        const Entry& entry = entries_[level.index];
        const auto now = handles_.status(*level.parent, entry.name);
        if (now && now.value().sameItem(entry.info)) {
            continue;
        }
        movedAway_ = MoveOutcome::MovedAway{joined(from_, entry.relative),
                                            handles_.currentPath(*level.folder)};
        return false;
    }
    return true;
}

void MoveEngine::markStays(std::size_t index) {
    entries_[index].stays = true;
    for (const std::size_t child : entries_[index].children) {
        markStays(child);
    }
}

void MoveEngine::markGone(std::size_t index) {
    entries_[index].gone = true;
    for (const std::size_t child : entries_[index].children) {
        markGone(child);
    }
}

// Removes one copied entry of the source, a folder with what it holds, bottom-up, through the
// handle of the folder that holds it: only while it is still what was copied, and a folder only
// when everything in it went. A link put in place of a folder is never followed. True when the
// entry went.
bool MoveEngine::removeEntry(std::size_t index, const FolderHandle& parent) {
    Entry& entry = entries_[index];
    const bool folder = entry.info.type == Type::folder;
    if (!inPlace()) {
        markStays(index);
        return false;
    }
    if (folder) {
        const auto opened = handles_.openFolderAt(parent, entry.name);
        if (!opened && opened.error().kind == ErrorKind::notFound) {
            // Gone already: another mover took it, or the user removed it; its copy goes too.
            markGone(index);
            return false;
        }
        const auto now =
            opened ? handles_.status(opened.value()) : Result<EntryStatus>(opened.error());
        if (!now || !now.value().sameItem(entry.info)) {
            entry.stays = entry.named = true;
            changed_ = true;
            return false;
        }
        held_.push_back({&parent, index, &opened.value()});
        bool all = true;
        for (const std::size_t child : entry.children) {
            all = removeEntry(child, opened.value()) && all;
        }
        const bool placed = inPlace();
        held_.pop_back();
        if (!all || !placed) {
            entry.stays = true;
            return false;
        }
    } else {
        const auto now = handles_.status(parent, entry.name);
        if (!now) {
            entry.gone = true;
            return false;
        }
        if (!sameContents(now.value(), entry.info)) {
            entry.stays = entry.named = true;
            changed_ = true;
            return false;
        }
    }
    Status removed;
    if (auto injected = fault(MoveStep::removeEntry, joined(fromName_, entry.relative))) {
        removed = *injected;
    } else {
        removed = handles_.remove(parent, entry.name, folder);
    }
    if (removed) {
        ++removed_;
        return true;
    }
    entry.stays = entry.named = true;
    if (folder && removed.error().kind == ErrorKind::alreadyExists) {
        changed_ = true;  // something was put into it meanwhile
    } else if (removed.error().kind == ErrorKind::notFound) {
        entry.stays = entry.named = false;
        markGone(index);
    } else if (!removalError_) {
        removalError_ = removed.error();
    }
    return false;
}

// The copy of every entry that stays at the source, or went from it by other hands, goes,
// bottom-up, through the handles of the copy's folders; the copy of such a folder goes only when
// nothing moved into it.
void MoveEngine::removeCopiesOfWhatStays(std::size_t index, const FolderHandle& parent,
                                         const std::string& name) {
    const Entry& entry = entries_[index];
    if (!entry.stays && !entry.gone) {
        return;
    }
    const bool folder = entry.info.type == Type::folder;
    if (folder) {
        const auto opened = handles_.openFolderAt(parent, name);
        if (!opened) {
            return;
        }
        for (const std::size_t child : entry.children) {
            removeCopiesOfWhatStays(child, opened.value(), entries_[child].name);
        }
    }
    ignoreResult(handles_.remove(parent, name, folder),
                 "a copy that cannot be removed is left where it is");
}

Result<MoveOutcome> MoveEngine::move(const std::string& from, const std::string& to) {
    const std::string fromName = lastPathComponent(from);
    const std::string toName = lastPathComponent(to);
    if (fromName.empty() || fromName == "/" || toName.empty() || toName == "/") {
        return handles_.failureOf(ErrorKind::invalidArgument);
    }
    const auto source = handles_.openFolder(parentPath(from));
    if (!source) {
        return source.error();
    }
    const auto destination = handles_.openFolder(parentPath(to));
    if (!destination) {
        return destination.error();
    }
    const auto top = handles_.status(source.value(), fromName);
    if (!top) {
        return top.error();
    }
    if (handles_.status(destination.value(), toName)) {
        return handles_.failureOf(ErrorKind::alreadyExists);
    }
    // A source that cannot be removed (a read-only filesystem, a folder the user may not write)
    // is refused before anything is copied.
    if (Status writable = handles_.checkMayChange(source.value()); !writable) {
        return writable.error();
    }
    if (top.value().type == Type::folder) {
        if (Status outside = intoItself(parentPath(to), top.value()); !outside) {
            return outside.error();
        }
    }
    if (Status scanned = scan(source.value(), fromName, ""); !scanned) {
        return scanned.error();
    }
    if (setup_.observer != nullptr) {
        setup_.observer->copyStarted(from, totalBytes_);
    }
    // A hidden sibling of the destination, created exclusively, holds the copy until it is whole.
    partialParent_ = &destination.value();
    Status copied = handles_.failureOf(ErrorKind::alreadyExists);
    for (int attempt = 0; attempt < 100 && !copied &&
                          copied.error().kind == ErrorKind::alreadyExists && !topCreated_;
         ++attempt) {
        partialName_ = setup_.partialName(toName);
        copied = copyEntry(0, source.value(), destination.value(), partialName_);
    }
    if (copied) {
        copied = flushKept();
    }
    unflushed_.clear();
    if (!copied) {
        return failWith(copied.error(), destination.value(), {});
    }
    // The intent, on disk before the copy takes its name: a process that dies from here on leaves
    // what the next one needs to finish the move or to undo it.
    std::string record;
    if (setup_.journal != nullptr) {
        const auto copy = handles_.status(destination.value(), partialName_);
        if (!copy) {
            return failWith(copy.error(), destination.value(), {});
        }
        auto written = setup_.journal->write(MoveRecord{from, to, partialName_, top.value().device,
                                                        top.value().inode, copy.value().device,
                                                        copy.value().inode});
        if (!written) {
            return failWith(written.error(), destination.value(), {});
        }
        record = std::move(written).value();
    }
    if (auto injected = fault(MoveStep::placeCopy, to)) {
        return failWith(*injected, destination.value(), record);
    }
    if (Status placed = handles_.renameNoReplace(destination.value(), partialName_,
                                                 destination.value(), toName);
        !placed) {
        return failWith(placed.error(), destination.value(), record);
    }
    // The rename is made durable before any of the source goes.
    if (Status flushed = handles_.flushWritten({&destination.value()}); !flushed) {
        ignoreResult(removeTree(handles_, destination.value(), toName, true),
                     "the failure being reported is the one that matters");
        if (setup_.journal != nullptr && !record.empty()) {
            setup_.journal->drop(record);
        }
        return flushed.error();
    }

    from_ = from;
    fromName_ = fromName;
    // Where the cut's top is now, should another program move it away before its removal begins.
    if (top.value().type == Type::folder) {
        const auto topFolder = handles_.openFolderAt(source.value(), fromName);
        if (!topFolder) {
            movedAway_ = MoveOutcome::MovedAway{from, ""};
        } else {
            held_.push_back({&source.value(), 0, &topFolder.value()});
            ignoreResult(inPlace(), "a top found elsewhere is kept in movedAway_");
            held_.clear();
        }
    }
    if (!movedAway_ || !movedAway_->now.empty()) {
        removeEntry(0, source.value());
    }
    auto outcome = finish(destination.value(), toName);
    if (setup_.journal != nullptr && !record.empty()) {
        setup_.journal->drop(record);
    }
    return outcome;
}

// Undoes a move that failed before its source was touched: the copy and the record go.
Error MoveEngine::failWith(Error error, const FolderHandle& destination,
                           const std::string& record) {
    if (topCreated_) {
        ignoreResult(removeTree(handles_, destination, partialName_, true),
                     "what stays of the copy keeps its hidden partial name");
    }
    if (setup_.journal != nullptr && !record.empty()) {
        setup_.journal->drop(record);
    }
    return error;
}

Result<MoveOutcome> MoveEngine::finish(const FolderHandle& destination, const std::string& toName) {
    if (removed_ == 0) {
        ignoreResult(removeTree(handles_, destination, toName, true),
                     "the failure being reported is the one that matters");
        if (removalError_) {
            return *removalError_;
        }
        return handles_.failureOf(changed_ ? ErrorKind::changedMeanwhile : ErrorKind::notFound);
    }
    MoveOutcome outcome;
    if (removalError_ || changed_ || movedAway_ ||
        std::any_of(entries_.begin(), entries_.end(),
                    [](const Entry& e) { return e.gone || e.stays; })) {
        removeCopiesOfWhatStays(0, destination, toName);
        for (const auto& entry : entries_) {
            if (entry.named) {
                outcome.leftAtSource.push_back(joined(from_, entry.relative));
            }
        }
        outcome.removalError = removalError_;
        outcome.movedAway = movedAway_;
    }
    return outcome;
}

}  // namespace quenta
