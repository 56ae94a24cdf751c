// One contract, two file systems: every case runs on the in-memory fake the logic tests use and
// on the POSIX adapter in a temporary folder, so the fake cannot drift from the real behaviour.
#include "adapters/linux/posix/file_system_posix.hpp"
#include "fakes/fake_file_system.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace quenta::testing {
namespace {

// The fake, rooted at a folder of its own.
struct FakeSide {
    FakeFileSystem files;
    std::string root = "/contract";
    FakeSide() { files.addDirectory(root); }
    void link(const std::string& path, const std::string& target) {
        files.addSymlink(path, target);
    }
    std::optional<std::string> contents(const std::string& path) {
        const auto* node = files.node(path);
        if (node == nullptr || node->type != FakeFileSystem::Node::Type::file) {
            return std::nullopt;
        }
        return node->contents;
    }
    std::size_t entries() {
        std::size_t count = 0;
        for (const auto& [path, node] : files.nodes()) {
            count += parentPath(path) == root ? 1U : 0U;
        }
        return count;
    }
};

// The POSIX adapter in a temporary folder.
struct PosixSide {
    linux_platform::PosixFileSystem files;
    TempDir dir;
    std::string root = dir.path();
    void link(const std::string& path, const std::string& target) {
        ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0);
    }
    std::optional<std::string> contents(const std::string& path) {
        if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(path))) {
            return std::nullopt;
        }
        return readFile(path);
    }
    std::size_t entries() {
        const std::filesystem::directory_iterator all(root);
        return static_cast<std::size_t>(std::distance(begin(all), end(all)));
    }
};

template <class Side>
class FileSystemContract : public ::testing::Test {
  protected:
    Side side;
    FileSystem& files = side.files;
    std::string at(const std::string& name) { return side.root + "/" + name; }
};

using Sides = ::testing::Types<FakeSide, PosixSide>;
TYPED_TEST_SUITE(FileSystemContract, Sides);

TYPED_TEST(FileSystemContract, LinksExistDanglingOrNotAndAreNeverWrittenThrough) {
    ASSERT_TRUE(this->files.createDirectory(this->at("folder")).ok());
    this->side.link(this->at("to-folder"), this->at("folder"));
    this->side.link(this->at("dangling"), this->at("nowhere"));
    EXPECT_TRUE(this->files.itemExists(this->at("dangling")));
    EXPECT_FALSE(this->files.isDirectory(this->at("dangling")));
    EXPECT_TRUE(this->files.isDirectory(this->at("to-folder")));
    EXPECT_EQ(this->files.resolvedPath(this->at("nowhere")), std::nullopt);

    const Status written = this->files.writeNewFile(this->at("dangling"), "x");
    ASSERT_FALSE(written.ok());
    EXPECT_EQ(written.error().kind, ErrorKind::alreadyExists);
    EXPECT_FALSE(this->files.itemExists(this->at("nowhere"))) << "the link was followed";
}

TYPED_TEST(FileSystemContract, SameContentsFollowsLinksAndComparesBytes) {
    const std::string big(200 * 1024, 'm');  // past one read of the comparison
    ASSERT_TRUE(this->files.writeNewFile(this->at("module"), big).ok());
    ASSERT_TRUE(this->files.writeNewFile(this->at("copy"), big).ok());
    ASSERT_TRUE(this->files.writeNewFile(this->at("other"), big.substr(1) + "n").ok());
    ASSERT_TRUE(this->files.createDirectory(this->at("folder")).ok());
    this->side.link(this->at("link"), this->at("module"));
    EXPECT_TRUE(this->files.sameContents(this->at("link"), this->at("module")));
    EXPECT_TRUE(this->files.sameContents(this->at("copy"), this->at("module")));
    EXPECT_FALSE(this->files.sameContents(this->at("other"), this->at("module")));
    EXPECT_FALSE(this->files.sameContents(this->at("missing"), this->at("module")));
    EXPECT_FALSE(this->files.sameContents(this->at("folder"), this->at("folder")));
}

TYPED_TEST(FileSystemContract, ExistingNamesAreNeverReplaced) {
    ASSERT_TRUE(this->files.writeNewFile(this->at("a"), "first").ok());
    ASSERT_TRUE(this->files.writeNewFile(this->at("b"), "second").ok());
    for (const Status& refused : {this->files.writeNewFile(this->at("a"), "again"),
                                  this->files.createDirectory(this->at("a"))}) {
        ASSERT_FALSE(refused.ok());
        EXPECT_EQ(refused.error().kind, ErrorKind::alreadyExists);
    }
    const auto movedOnto = this->files.moveItem(this->at("b"), this->at("a"));
    ASSERT_FALSE(movedOnto.ok());
    EXPECT_EQ(movedOnto.error().kind, ErrorKind::alreadyExists);
    EXPECT_EQ(this->side.contents(this->at("a")), "first");
    EXPECT_EQ(this->side.contents(this->at("b")), "second");

    ASSERT_TRUE(this->files.appendToFile(this->at("a"), " more").ok());
    EXPECT_EQ(this->side.contents(this->at("a")), "first more") << "appending never truncates";
}

TYPED_TEST(FileSystemContract, AtomicWritesReplaceTheWholeFileAndLeaveNoSideFile) {
    ASSERT_TRUE(this->files.writeFileAtomically(this->at("f"), "old contents").ok());
    ASSERT_TRUE(this->files.writeFileAtomically(this->at("f"), "new").ok());
    EXPECT_EQ(this->side.contents(this->at("f")), "new");
    EXPECT_EQ(this->side.entries(), 1U);

    ASSERT_TRUE(this->files.createDirectory(this->at("d")).ok());
    EXPECT_FALSE(this->files.writeFileAtomically(this->at("d"), "x").ok())
        << "a folder is not replaced by a file";
    EXPECT_TRUE(this->files.isDirectory(this->at("d")));
}

TYPED_TEST(FileSystemContract, NothingIsCreatedInAMissingFolder) {
    const std::string missing = this->at("missing/item");
    for (const Status& refused :
         {this->files.writeNewFile(missing, "x"), this->files.createDirectory(missing),
          this->files.appendToFile(missing, "x"), this->files.writeFileAtomically(missing, "x")}) {
        ASSERT_FALSE(refused.ok());
        EXPECT_EQ(refused.error().kind, ErrorKind::notFound) << refused.error().description;
    }
    EXPECT_FALSE(this->files.itemExists(this->at("missing")));

    ASSERT_TRUE(this->files.writeNewFile(this->at("file"), "x").ok());
    const auto moved = this->files.moveItem(this->at("file"), missing);
    ASSERT_FALSE(moved.ok());
    EXPECT_EQ(moved.error().kind, ErrorKind::notFound);
    EXPECT_TRUE(this->files.itemExists(this->at("file"))) << "a failed move keeps the source";
}

}  // namespace
}  // namespace quenta::testing
