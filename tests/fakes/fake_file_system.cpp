#include "fakes/fake_file_system.hpp"

#include <filesystem>

namespace quenta::testing {

std::string parentPath(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) {
        return "/";
    }
    return path.substr(0, slash);
}

FakeFileSystem::FakeFileSystem() {
    nodes_["/"] = Node{Node::Type::directory, {}, 0755};
}

void FakeFileSystem::addDirectory(const std::string& path) {
    if (path != "/" && !nodes_.count(parentPath(path))) {
        addDirectory(parentPath(path));
    }
    nodes_[path] = Node{Node::Type::directory, {}, 0755};
}

void FakeFileSystem::addFile(const std::string& path, std::string contents) {
    addDirectory(parentPath(path));
    nodes_[path] = Node{Node::Type::file, std::move(contents), defaultFileMode};
}

void FakeFileSystem::addSymlink(const std::string& path, const std::string& target) {
    addDirectory(parentPath(path));
    nodes_[path] = Node{Node::Type::symlink, target, 0777};
}

void FakeFileSystem::failWritesIn(const std::string& folder, Error error) {
    failingFolders_[folder] = std::move(error);
}

const FakeFileSystem::Node* FakeFileSystem::node(const std::string& path) const {
    const auto found = nodes_.find(path);
    return found == nodes_.end() ? nullptr : &found->second;
}

const FakeFileSystem::Node* FakeFileSystem::resolved(const std::string& path) const {
    const Node* current = node(path);
    for (int hops = 0; current != nullptr && current->type == Node::Type::symlink && hops < 8;
         ++hops) {
        current = node(current->contents);
    }
    return current;
}

bool FakeFileSystem::itemExists(const std::string& path) const {
    ++existenceTests_;
    // "." and ".." segments name what the kernel would find (links inside such paths aside).
    return node(path) != nullptr ||
           node(std::filesystem::path(path).lexically_normal().string()) != nullptr;
}

bool FakeFileSystem::isDirectory(const std::string& path) const {
    const Node* target = resolved(path);
    return target != nullptr && target->type == Node::Type::directory;
}

std::optional<Error> FakeFileSystem::creationError(const std::string& path) const {
    const std::string parent = parentPath(path);
    if (const auto failing = failingFolders_.find(parent); failing != failingFolders_.end()) {
        return failing->second;
    }
    const Node* folder = resolved(parent);
    if (folder == nullptr) {
        return Error{ErrorKind::notFound, "No such file or directory"};
    }
    if (folder->type != Node::Type::directory) {
        return Error{ErrorKind::notADirectory, "Not a directory"};
    }
    if (node(path) != nullptr) {
        return Error{ErrorKind::alreadyExists, "File exists"};
    }
    return std::nullopt;
}

Status FakeFileSystem::writeNewFile(const std::string& path, std::string_view contents) {
    if (auto error = creationError(path)) {
        return *error;
    }
    nodes_[path] = Node{Node::Type::file, std::string(contents), defaultFileMode};
    return {};
}

Status FakeFileSystem::setPermissions(const std::string& path, unsigned mode) {
    if (permissionError_) {
        return *permissionError_;
    }
    const auto found = nodes_.find(path);
    if (found == nodes_.end()) {
        return Error{ErrorKind::notFound, "No such file or directory"};
    }
    found->second.mode = mode;
    return {};
}

Status FakeFileSystem::createDirectory(const std::string& path) {
    if (auto error = creationError(path)) {
        return *error;
    }
    nodes_[path] = Node{Node::Type::directory, {}, 0755};
    return {};
}

Status FakeFileSystem::appendToFile(const std::string& path, std::string_view bytes) {
    const auto found = nodes_.find(path);
    if (found != nodes_.end()) {
        if (found->second.type != Node::Type::file) {
            return Error{ErrorKind::isADirectory, "Is a directory"};
        }
        found->second.contents += bytes;
        return {};
    }
    return writeNewFile(path, bytes);
}

Result<MoveOutcome> FakeFileSystem::moveItem(const std::string& from, const std::string& to,
                                             MoveObserver* observer) {
    if (node(from) == nullptr) {
        return Error{ErrorKind::notFound, "No such file or directory"};
    }
    if (auto error = creationError(to)) {
        return *error;
    }
    MoveOutcome outcome;
    if (const auto copying = copyingMoves_.find(from); copying != copyingMoves_.end()) {
        const CopyingMove& move = copying->second;
        outcome = move.outcome;
        if (observer != nullptr) {
            observer->copyStarted(from, move.bytes);
        }
        for (int step = 0; step < move.steps; ++step) {
            if (observer != nullptr && observer->cancelRequested()) {
                return Error{ErrorKind::cancelled, "Operation canceled"};
            }
            if (observer != nullptr) {
                observer->copied(move.bytes / static_cast<std::uint64_t>(move.steps));
            }
            if (onCopyStep) {
                onCopyStep();
            }
        }
    }
    const std::string inside = from + "/";
    if (to == from || to.compare(0, inside.size(), inside) == 0) {
        return Error{ErrorKind::invalidArgument, "Invalid argument"};
    }
    // The item and, for a folder, everything below it change their prefix; a link moves as is.
    std::map<std::string, Node> moved;
    for (auto it = nodes_.begin(); it != nodes_.end();) {
        if (it->first == from || it->first.compare(0, inside.size(), inside) == 0) {
            moved[to + it->first.substr(from.size())] = std::move(it->second);
            it = nodes_.erase(it);
        } else {
            ++it;
        }
    }
    nodes_.merge(moved);
    return outcome;
}

Status FakeFileSystem::trashItem(const std::string& path) {
    if (const auto failing = failingFolders_.find(parentPath(path));
        failing != failingFolders_.end()) {
        return failing->second;
    }
    if (node(path) == nullptr) {
        return Error{ErrorKind::notFound, "No such file or directory"};
    }
    const std::string trash = "/home/ann/.local/share/Trash/files";
    if (path == "/" || trash.rfind(path + "/", 0) == 0) {
        return Error{ErrorKind::invalidArgument,
                     "A folder that holds the Trash cannot be moved to the Trash."};
    }
    addDirectory(trash);
    const std::string name = path.substr(path.rfind('/') + 1);
    std::string target = trash + "/" + name;
    for (int n = 2; node(target) != nullptr; ++n) {
        target = trash + "/" + name + "." + std::to_string(n);
    }
    // The item and everything below it move together.
    std::map<std::string, Node> moved;
    for (auto it = nodes_.begin(); it != nodes_.end();) {
        if (it->first == path || it->first.rfind(path + "/", 0) == 0) {
            moved[target + it->first.substr(path.size())] = std::move(it->second);
            it = nodes_.erase(it);
        } else {
            ++it;
        }
    }
    nodes_.merge(moved);
    return {};
}

Status FakeFileSystem::writeFileAtomically(const std::string& path, std::string_view contents) {
    if (auto error = creationError(path); error && error->kind != ErrorKind::alreadyExists) {
        return *error;
    }
    // The rename replaces a file or a link, never a folder.
    if (const auto found = nodes_.find(path);
        found != nodes_.end() && found->second.type == Node::Type::directory) {
        return Error{ErrorKind::isADirectory, "Is a directory"};
    }
    nodes_[path] = Node{Node::Type::file, std::string(contents), defaultFileMode};
    return {};
}

bool FakeFileSystem::sameContents(const std::string& first, const std::string& second) const {
    const Node* a = resolved(first);
    const Node* b = resolved(second);
    return a != nullptr && b != nullptr && a->type == Node::Type::file &&
           b->type == Node::Type::file && a->contents == b->contents;
}

bool FakeFileSystem::canCreateIn(const std::string& folder) const {
    const Node* target = resolved(folder);
    return target != nullptr && target->type == Node::Type::directory &&
           failingFolders_.count(folder) == 0;
}

std::optional<std::string> FakeFileSystem::resolvedPath(const std::string& path) const {
    // Resolves component by component, as realpath does; relative link targets are taken against
    // the link's folder. Gives up after a few links, as the kernel does with a loop.
    std::string pending = path;
    std::string resolvedSoFar;
    int links = 0;
    while (true) {
        resolvedSoFar.clear();
        bool restarted = false;
        std::size_t start = 1;
        while (start <= pending.size()) {
            std::size_t end = pending.find('/', start);
            end = end == std::string::npos ? pending.size() : end;
            const std::string segment = pending.substr(start, end - start);
            start = end + 1;
            if (segment.empty() || segment == ".") {
                continue;
            }
            if (segment == "..") {
                resolvedSoFar = parentPath(resolvedSoFar.empty() ? "/" : resolvedSoFar);
                resolvedSoFar = resolvedSoFar == "/" ? "" : resolvedSoFar;
                continue;
            }
            const std::string candidate = resolvedSoFar + "/" + segment;
            const Node* found = node(candidate);
            if (found == nullptr) {
                return std::nullopt;
            }
            if (found->type == Node::Type::symlink) {
                if (++links > 8) {
                    return std::nullopt;
                }
                const std::string& target = found->contents;
                const std::string base = target.starts_with("/") ? "" : resolvedSoFar + "/";
                pending =
                    base + target + (start <= pending.size() ? "/" + pending.substr(start) : "");
                restarted = true;
                break;
            }
            resolvedSoFar = candidate;
        }
        if (!restarted) {
            return resolvedSoFar.empty() ? "/" : resolvedSoFar;
        }
    }
}

}  // namespace quenta::testing
