#include "fakes/fake_file_system.hpp"

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
    return node(path) != nullptr;
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

Status FakeFileSystem::moveItem(const std::string& from, const std::string& to) {
    (void)from;
    (void)to;
    return Error{ErrorKind::unsupported, "Operation not supported"};
}

Status FakeFileSystem::trashItem(const std::string& path) {
    (void)path;
    return Error{ErrorKind::unsupported, "Operation not supported"};
}

Status FakeFileSystem::writeFileAtomically(const std::string& path, std::string_view contents) {
    if (auto error = creationError(path); error && error->kind != ErrorKind::alreadyExists) {
        return *error;
    }
    nodes_[path] = Node{Node::Type::file, std::string(contents), defaultFileMode};
    return {};
}

std::optional<std::string> FakeFileSystem::resolvedPath(const std::string& path) const {
    if (node(path) == nullptr) {
        return std::nullopt;
    }
    return path;
}

}  // namespace quenta::testing
