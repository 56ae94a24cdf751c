#include "fakes/fake_directory_handles.hpp"

#include <algorithm>
#include <utility>

namespace quenta::testing {
namespace {

using Type = EntryStatus::Type;

Error notFound() {
    return {ErrorKind::notFound, "No such file or directory"};
}
Error taken() {
    return {ErrorKind::alreadyExists, "File exists"};
}
Error notEmpty() {
    return {ErrorKind::alreadyExists, "Directory not empty"};
}
Error notFolder() {
    return {ErrorKind::notADirectory, "Not a directory"};
}
Error isFolder() {
    return {ErrorKind::isADirectory, "Is a directory"};
}
Error aLink() {
    return {ErrorKind::invalidArgument, "Too many levels of symbolic links"};
}
Error otherDevice() {
    return {ErrorKind::crossDevice, "Invalid cross-device link"};
}

std::vector<std::string> components(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        const auto end = std::min(path.find('/', start), path.size());
        if (end > start) {
            parts.push_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return parts;
}

}  // namespace

FakeDirectoryHandles::FakeDirectoryHandles() {
    root_ = newItem(Type::folder, nextDevice_++);
    at(root_).status.mode = 0755;
    at(root_).status.links = 1;  // its own name: it never goes
    at(root_).parent = root_;
}

std::uint64_t FakeDirectoryHandles::newItem(Type type, std::uint64_t device) {
    const std::uint64_t inode = nextInode_++;
    Item item;
    item.status.type = type;
    item.status.device = device;
    item.status.inode = inode;
    item.status.links = 0;
    item.status.accessed = item.status.modified = tick();
    items_.emplace(inode, std::move(item));
    return inode;
}

FileTime FakeDirectoryHandles::tick() {
    return {clock_++, 0};
}

std::uint64_t FakeDirectoryHandles::lookUp(const std::string& path, bool followLast) const {
    std::vector<std::string> parts = components(path);
    std::uint64_t current = root_;
    int hops = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const Item& folder = at(current);
        if (folder.status.type != Type::folder) {
            return 0;
        }
        if (parts[i] == ".") {
            continue;
        }
        if (parts[i] == "..") {
            current = folder.parent;
            continue;
        }
        const auto found = folder.entries.find(parts[i]);
        if (found == folder.entries.end()) {
            return 0;
        }
        const Item& item = at(found->second);
        const bool last = i + 1 == parts.size();
        if (item.status.type == Type::symlink && (!last || followLast)) {
            if (++hops > 40) {
                return 0;
            }
            // The target's components take the link's place; an absolute one starts at the top.
            std::vector<std::string> rest = components(item.data);
            rest.insert(rest.end(), parts.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                        parts.end());
            parts = std::move(rest);
            if (!item.data.empty() && item.data.front() == '/') {
                current = root_;
            }
            i = static_cast<std::size_t>(-1);  // the loop's increment starts the new parts at 0
            continue;
        }
        current = found->second;
    }
    return current;
}

std::pair<std::uint64_t, std::string> FakeDirectoryHandles::parentOf(
    const std::string& path) const {
    const auto slash = path.rfind('/');
    // 0 when there is no such folder: the item lookup that follows throws out_of_range.
    return {lookUp(slash == 0 ? "/" : path.substr(0, slash), true), path.substr(slash + 1)};
}

void FakeDirectoryHandles::link(std::uint64_t folder, const std::string& name,
                                std::uint64_t inode) {
    at(folder).entries[name] = inode;
    Item& item = at(inode);
    ++item.status.links;
    if (item.status.type == Type::folder) {
        item.parent = folder;
    }
    at(folder).status.modified = tick();
}

void FakeDirectoryHandles::unlink(std::uint64_t folder, const std::string& name) {
    const std::uint64_t inode = at(folder).entries.at(name);
    at(folder).entries.erase(name);
    at(folder).status.modified = tick();
    Item& item = at(inode);
    if (--item.status.links == 0) {
        item.parent = 0;
        // The item lives on while a handle holds it, as an open folder does.
        if (std::none_of(handles_.begin(), handles_.end(),
                         [&](const auto& open) { return open.second == inode; })) {
            items_.erase(inode);
        }
    }
}

void FakeDirectoryHandles::addFolder(const std::string& path) {
    const auto [folder, name] = parentOf(path);
    const std::uint64_t inode = newItem(Type::folder, at(folder).status.device);
    at(inode).status.mode = 0755;
    link(folder, name, inode);
}

void FakeDirectoryHandles::addFilesystem(const std::string& path) {
    const auto [folder, name] = parentOf(path);
    const std::uint64_t inode = newItem(Type::folder, nextDevice_++);
    at(inode).status.mode = 0755;
    link(folder, name, inode);
}

void FakeDirectoryHandles::addFile(const std::string& path, const std::string& data,
                                   unsigned mode) {
    const auto [folder, name] = parentOf(path);
    const std::uint64_t inode = newItem(Type::file, at(folder).status.device);
    at(inode).data = data;
    at(inode).status.size = data.size();
    at(inode).status.mode = mode;
    link(folder, name, inode);
}

void FakeDirectoryHandles::addSymlink(const std::string& path, const std::string& target) {
    const auto [folder, name] = parentOf(path);
    const std::uint64_t inode = newItem(Type::symlink, at(folder).status.device);
    at(inode).data = target;
    at(inode).status.size = target.size();
    at(inode).status.mode = 0777;
    link(folder, name, inode);
}

void FakeDirectoryHandles::renamePath(const std::string& from, const std::string& to) {
    const auto [fromFolder, fromName] = parentOf(from);
    const auto [toFolder, toName] = parentOf(to);
    const std::uint64_t inode = at(fromFolder).entries.at(fromName);
    ++at(inode).status.links;
    unlink(fromFolder, fromName);
    --at(inode).status.links;
    link(toFolder, toName, inode);
}

void FakeDirectoryHandles::removePath(const std::string& path) {
    const auto [folder, name] = parentOf(path);
    const std::uint64_t inode = at(folder).entries.at(name);
    if (at(inode).status.type == Type::folder) {
        const auto names = at(inode).entries;
        for (const auto& [child, ignored] : names) {
            removePath(path + "/" + child);
        }
    }
    unlink(folder, name);
}

void FakeDirectoryHandles::rewriteFile(const std::string& path, const std::string& data) {
    Item& item = at(lookUp(path, false));
    item.data = data;
    item.status.size = data.size();
    item.status.modified = tick();
}

bool FakeDirectoryHandles::exists(const std::string& path) const {
    return lookUp(path, false) != 0;
}

std::optional<std::string> FakeDirectoryHandles::contents(const std::string& path) const {
    const std::uint64_t inode = lookUp(path, false);
    if (inode == 0) {
        return std::nullopt;
    }
    return at(inode).data;
}

std::optional<Error> FakeDirectoryHandles::before(Operation operation, const std::string& name) {
    return beforeOperation ? beforeOperation(operation, name) : std::nullopt;
}

Result<FolderHandle> FakeDirectoryHandles::openFolder(const std::string& path) {
    if (auto error = before(Operation::openFolder, path)) {
        return *error;
    }
    const std::uint64_t inode = lookUp(path, true);
    if (inode == 0) {
        return notFound();
    }
    if (at(inode).status.type != Type::folder) {
        return notFolder();
    }
    handles_[nextHandle_] = inode;
    return handle(nextHandle_++);
}

Result<FolderHandle> FakeDirectoryHandles::openFolderAt(const FolderHandle& parent,
                                                        const std::string& name) {
    if (auto error = before(Operation::openFolder, name)) {
        return *error;
    }
    if (name == ".") {
        handles_[nextHandle_] = handles_.at(parent.id());
        return handle(nextHandle_++);
    }
    if (name == "..") {
        if (folderOf(parent).parent == 0) {
            return notFound();
        }
        handles_[nextHandle_] = folderOf(parent).parent;
        return handle(nextHandle_++);
    }
    const auto& entries = folderOf(parent).entries;
    const auto found = entries.find(name);
    if (found == entries.end()) {
        return notFound();
    }
    const Type type = at(found->second).status.type;
    if (type != Type::folder) {
        return notFolder();  // a link too, whatever it leads to
    }
    handles_[nextHandle_] = found->second;
    return handle(nextHandle_++);
}

Result<std::vector<std::string>> FakeDirectoryHandles::list(const FolderHandle& folder) {
    if (auto error = before(Operation::list, {})) {
        return *error;
    }
    std::vector<std::string> names;
    for (const auto& [name, inode] : folderOf(folder).entries) {
        names.push_back(name);
    }
    // In no particular order, as a real folder lists.
    std::reverse(names.begin(), names.end());
    return names;
}

Result<EntryStatus> FakeDirectoryHandles::status(const FolderHandle& parent,
                                                 const std::string& name) {
    if (auto error = before(Operation::status, name)) {
        return *error;
    }
    const auto& entries = folderOf(parent).entries;
    const auto found = entries.find(name);
    if (found == entries.end()) {
        return notFound();
    }
    return at(found->second).status;
}

Result<EntryStatus> FakeDirectoryHandles::status(const FolderHandle& folder) {
    if (auto error = before(Operation::status, {})) {
        return *error;
    }
    return folderOf(folder).status;
}

std::string FakeDirectoryHandles::currentPath(const FolderHandle& folder) {
    std::uint64_t inode = handles_.at(folder.id());
    std::string path;
    while (inode != root_) {
        const std::uint64_t parent = at(inode).parent;
        if (parent == 0) {
            return {};
        }
        const auto& entries = at(parent).entries;
        const auto named = std::find_if(entries.begin(), entries.end(),
                                        [&](const auto& entry) { return entry.second == inode; });
        path = "/" + named->first + path;
        inode = parent;
    }
    return path.empty() ? "/" : path;
}

Status FakeDirectoryHandles::copyFile(const FolderHandle& from, const std::string& fromName,
                                      const FolderHandle& to, const std::string& toName,
                                      const EntryStatus& as, CopyProgress* progress) {
    if (auto error = before(Operation::copyFile, fromName)) {
        return *error;
    }
    const auto& sources = folderOf(from).entries;
    const auto source = sources.find(fromName);
    if (source == sources.end()) {
        return notFound();
    }
    if (at(source->second).status.type == Type::symlink) {
        return aLink();
    }
    if (at(source->second).status.type == Type::folder) {
        return isFolder();
    }
    if (folderOf(to).entries.count(toName) != 0) {
        return taken();
    }
    const Item original = at(source->second);
    for (std::uint64_t done = 0; done < original.data.size();) {
        if (progress != nullptr && progress->cancelRequested()) {
            return Error{ErrorKind::cancelled, "Operation canceled"};
        }
        const std::uint64_t step = std::min<std::uint64_t>(copyStep, original.data.size() - done);
        done += step;
        if (progress != nullptr) {
            progress->copied(step);
        }
    }
    const std::uint64_t folder = handles_.at(to.id());
    const std::uint64_t inode = newItem(Type::file, at(folder).status.device);
    Item& copy = at(inode);
    copy.data = original.data;
    copy.attributes = original.attributes;
    copy.status.size = original.data.size();
    copy.status.mode = as.mode;
    copy.status.owner = as.owner;
    copy.status.group = as.group;
    copy.status.accessed = as.accessed;
    copy.status.modified = as.modified;
    link(folder, toName, inode);
    unflushed_.push_back(inode);
    return {};
}

Status FakeDirectoryHandles::makeFolder(const FolderHandle& parent, const std::string& name) {
    if (auto error = before(Operation::make, name)) {
        return *error;
    }
    if (folderOf(parent).entries.count(name) != 0) {
        return taken();
    }
    const std::uint64_t folder = handles_.at(parent.id());
    const std::uint64_t inode = newItem(Type::folder, at(folder).status.device);
    at(inode).status.mode = 0700;
    link(folder, name, inode);
    return {};
}

Status FakeDirectoryHandles::makeSymlink(const FolderHandle& parent, const std::string& name,
                                         const std::string& target) {
    if (auto error = before(Operation::make, name)) {
        return *error;
    }
    if (folderOf(parent).entries.count(name) != 0) {
        return taken();
    }
    const std::uint64_t folder = handles_.at(parent.id());
    const std::uint64_t inode = newItem(Type::symlink, at(folder).status.device);
    at(inode).data = target;
    at(inode).status.size = target.size();
    at(inode).status.mode = 0777;
    link(folder, name, inode);
    return {};
}

Result<std::string> FakeDirectoryHandles::readSymlink(const FolderHandle& parent,
                                                      const std::string& name) {
    if (auto error = before(Operation::status, name)) {
        return *error;
    }
    const auto& entries = folderOf(parent).entries;
    const auto found = entries.find(name);
    if (found == entries.end()) {
        return notFound();
    }
    if (at(found->second).status.type != Type::symlink) {
        return Error{ErrorKind::invalidArgument, "Invalid argument"};
    }
    return at(found->second).data;
}

Status FakeDirectoryHandles::makeHardLink(const FolderHandle& to, const std::string& toName,
                                          const FolderHandle& parent, const std::string& name) {
    if (auto error = before(Operation::make, name)) {
        return *error;
    }
    const auto& entries = folderOf(to).entries;
    const auto found = entries.find(toName);
    if (found == entries.end()) {
        return notFound();
    }
    if (folderOf(parent).entries.count(name) != 0) {
        return taken();
    }
    if (at(found->second).status.type == Type::folder) {
        return Error{ErrorKind::permissionDenied, "Operation not permitted"};
    }
    if (at(found->second).status.device != folderOf(parent).status.device) {
        return otherDevice();
    }
    link(handles_.at(parent.id()), name, found->second);
    return {};
}

Status FakeDirectoryHandles::makeNode(const FolderHandle& parent, const std::string& name,
                                      const EntryStatus& as) {
    if (auto error = before(Operation::make, name)) {
        return *error;
    }
    if (as.type == Type::file || as.type == Type::folder || as.type == Type::symlink) {
        return Error{ErrorKind::invalidArgument, "Invalid argument"};
    }
    if (folderOf(parent).entries.count(name) != 0) {
        return taken();
    }
    const std::uint64_t folder = handles_.at(parent.id());
    const std::uint64_t inode = newItem(as.type, at(folder).status.device);
    at(inode).status.mode = as.mode;
    at(inode).status.deviceNumber = as.deviceNumber;
    link(folder, name, inode);
    return {};
}

Status FakeDirectoryHandles::applyMetadata(const FolderHandle& from, const std::string& fromName,
                                           const FolderHandle& to, const std::string& toName,
                                           const EntryStatus& as) {
    if (auto error = before(Operation::applyMetadata, toName)) {
        return *error;
    }
    const auto& sources = folderOf(from).entries;
    const auto& targets = folderOf(to).entries;
    const auto source = sources.find(fromName);
    const auto target = targets.find(toName);
    if (source == sources.end() || target == targets.end()) {
        return notFound();
    }
    Item& item = at(target->second);
    item.attributes = at(source->second).attributes;
    if (item.status.type != Type::symlink) {
        item.status.mode = as.mode;
    }
    item.status.owner = as.owner;
    item.status.group = as.group;
    item.status.accessed = as.accessed;
    item.status.modified = as.modified;
    return {};
}

Status FakeDirectoryHandles::renameNoReplace(const FolderHandle& fromParent,
                                             const std::string& fromName,
                                             const FolderHandle& toParent,
                                             const std::string& toName) {
    if (auto error = before(Operation::rename, fromName)) {
        return *error;
    }
    const std::uint64_t fromFolder = handles_.at(fromParent.id());
    const std::uint64_t toFolder = handles_.at(toParent.id());
    const auto& entries = at(fromFolder).entries;
    const auto found = entries.find(fromName);
    if (found == entries.end()) {
        return notFound();
    }
    if (at(toFolder).entries.count(toName) != 0) {
        return taken();
    }
    if (at(found->second).status.device != at(toFolder).status.device) {
        return otherDevice();
    }
    const std::uint64_t inode = found->second;
    for (std::uint64_t above = toFolder; above != root_ && above != 0; above = at(above).parent) {
        if (above == inode) {
            return Error{ErrorKind::invalidArgument, "Invalid argument"};
        }
    }
    ++at(inode).status.links;
    unlink(fromFolder, fromName);
    --at(inode).status.links;
    link(toFolder, toName, inode);
    return {};
}

Status FakeDirectoryHandles::remove(const FolderHandle& parent, const std::string& name,
                                    bool folder) {
    if (auto error = before(Operation::remove, name)) {
        return *error;
    }
    const std::uint64_t holder = handles_.at(parent.id());
    const auto& entries = at(holder).entries;
    const auto found = entries.find(name);
    if (found == entries.end()) {
        return notFound();
    }
    const Item& item = at(found->second);
    if (folder && item.status.type != Type::folder) {
        return notFolder();
    }
    if (!folder && item.status.type == Type::folder) {
        return isFolder();
    }
    if (folder && !item.entries.empty()) {
        return notEmpty();
    }
    unlink(holder, name);
    return {};
}

Status FakeDirectoryHandles::flushWritten(const std::vector<const FolderHandle*>& /*folders*/) {
    if (auto error = before(Operation::flush, {})) {
        return *error;
    }
    unflushed_.clear();
    return {};
}

Status FakeDirectoryHandles::setMode(const FolderHandle& parent, const std::string& name,
                                     unsigned mode) {
    if (auto error = before(Operation::applyMetadata, name)) {
        return *error;
    }
    const auto& entries = folderOf(parent).entries;
    const auto found = entries.find(name);
    if (found == entries.end()) {
        return notFound();
    }
    at(found->second).status.mode = mode;
    return {};
}

Status FakeDirectoryHandles::checkMayChange(const FolderHandle& folder) {
    if ((folderOf(folder).status.mode & 0300) != 0300) {
        return Error{ErrorKind::permissionDenied, "Permission denied"};
    }
    return {};
}

Error FakeDirectoryHandles::failureOf(ErrorKind kind) {
    switch (kind) {
        case ErrorKind::notFound:
            return notFound();
        case ErrorKind::alreadyExists:
            return taken();
        case ErrorKind::invalidArgument:
            return Error{kind, "Invalid argument"};
        case ErrorKind::cancelled:
            return Error{kind, "Operation canceled"};
        case ErrorKind::changedMeanwhile:
            return Error{kind, "Device or resource busy"};
        default:
            return Error{kind, "Input/output error"};
    }
}

void FakeDirectoryHandles::close(std::intptr_t id) {
    const std::uint64_t inode = handles_.at(id);
    handles_.erase(id);
    // A removed folder goes with its last handle.
    if (items_.count(inode) != 0 && at(inode).status.links == 0 &&
        std::none_of(handles_.begin(), handles_.end(),
                     [&](const auto& open) { return open.second == inode; })) {
        items_.erase(inode);
    }
}

}  // namespace quenta::testing
