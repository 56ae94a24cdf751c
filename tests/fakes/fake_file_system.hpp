#pragma once

#include "ports/file_system.hpp"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>

namespace quenta::testing {

// An in-memory file system: files with contents and modes, folders, and symbolic links that may
// dangle. Paths are absolute; a parent folder must exist for anything to be created in it.
class FakeFileSystem : public FileSystem {
  public:
    struct Node {
        enum class Type { file, directory, symlink } type = Type::file;
        std::string contents;  // a file's bytes, or a link's target
        unsigned mode = 0644;
    };

    FakeFileSystem();

    void addDirectory(const std::string& path);
    void addFile(const std::string& path, std::string contents = {});
    void addSymlink(const std::string& path, const std::string& target);
    // Makes the next operations on the path (or inside it) fail with the given error.
    void failWritesIn(const std::string& folder, Error error);
    void failPermissionChanges(Error error) { permissionError_ = std::move(error); }
    // Makes a move of the item copy `bytes` in `steps` equal parts (telling the observer, and
    // calling `onStep` after each part) and, once moved, answer `outcome`.
    struct CopyingMove {
        std::uint64_t bytes = 0;
        int steps = 1;
        MoveOutcome outcome;
    };
    void copyOnMove(const std::string& from, CopyingMove move) {
        copyingMoves_[from] = std::move(move);
    }
    std::function<void()> onCopyStep;
    // What finishInterruptedMoves answers, once.
    std::vector<InterruptedMove> interruptedMoves;

    [[nodiscard]] const Node* node(const std::string& path) const;
    [[nodiscard]] const std::map<std::string, Node>& nodes() const { return nodes_; }
    [[nodiscard]] int existenceTests() const { return existenceTests_; }

    [[nodiscard]] bool itemExists(const std::string& path) const override;
    [[nodiscard]] bool isDirectory(const std::string& path) const override;
    Status writeNewFile(const std::string& path, std::string_view contents) override;
    Status setPermissions(const std::string& path, unsigned mode) override;
    Status createDirectory(const std::string& path) override;
    Status appendToFile(const std::string& path, std::string_view bytes) override;
    using FileSystem::moveItem;
    Result<MoveOutcome> moveItem(const std::string& from, const std::string& to,
                                 MoveObserver* observer) override;
    std::vector<InterruptedMove> finishInterruptedMoves() override {
        return std::exchange(interruptedMoves, {});
    }
    Status trashItem(const std::string& path) override;
    Status writeFileAtomically(const std::string& path, std::string_view contents) override;
    [[nodiscard]] std::string temporaryDirectory() const override { return "/tmp"; }
    [[nodiscard]] std::optional<std::string> resolvedPath(const std::string& path) const override;
    [[nodiscard]] bool sameContents(const std::string& first,
                                    const std::string& second) const override;
    [[nodiscard]] bool canCreateIn(const std::string& folder) const override;
    [[nodiscard]] std::string homeDirectory() const override { return "/home/ann"; }
    [[nodiscard]] std::string logsDirectory() const override { return "/home/ann/.local/state"; }

    [[nodiscard]] bool hasUsableTrash(const std::string& path) const override {
        return std::none_of(filesystemsWithoutTrash.begin(), filesystemsWithoutTrash.end(),
                            [&](const std::string& top) { return path.rfind(top + "/", 0) == 0; });
    }

    unsigned defaultFileMode = 0644;
    // The top folders of filesystems that have no usable trash.
    std::vector<std::string> filesystemsWithoutTrash;

  private:
    [[nodiscard]] std::optional<Error> creationError(const std::string& path) const;
    [[nodiscard]] const Node* resolved(const std::string& path) const;

    std::map<std::string, Node> nodes_;
    std::map<std::string, Error> failingFolders_;
    std::optional<Error> permissionError_;
    std::map<std::string, CopyingMove> copyingMoves_;
    mutable int existenceTests_ = 0;
};

std::string parentPath(const std::string& path);

}  // namespace quenta::testing
