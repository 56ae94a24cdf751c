// One contract, two filesystems: every case runs on the in-memory model the move engine's tests
// use and on the POSIX adapter in temporary folders, so the model cannot drift from the kernel.
#include "adapters/linux/posix/directory_handles_posix.hpp"
#include "fakes/fake_directory_handles.hpp"
#include "support/temp_dir.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quenta::testing {
namespace {

using Type = EntryStatus::Type;

struct FakeSide {
    FakeDirectoryHandles handles;
    std::string root = "/contract";
    std::string otherRoot = "/other";
    FakeSide() {
        handles.addFolder(root);
        handles.addFilesystem(otherRoot);
    }
    void folder(const std::string& path) { handles.addFolder(path); }
    void file(const std::string& path, const std::string& data) { handles.addFile(path, data); }
    void symlink(const std::string& path, const std::string& target) {
        handles.addSymlink(path, target);
    }
    void rename(const std::string& from, const std::string& to) { handles.renamePath(from, to); }
    [[nodiscard]] std::optional<std::string> contents(const std::string& path) const {
        return handles.contents(path);
    }
    [[nodiscard]] bool exists(const std::string& path) const { return handles.exists(path); }
};

struct PosixSide {
    linux_platform::PosixDirectoryHandles handles;
    TempDir dir;
    std::unique_ptr<TempDir> other;
    std::string root = dir.path();
    std::string otherRoot;
    PosixSide() {
        struct statfs shm {};
        struct statfs here {};
        if (::statfs("/dev/shm", &shm) == 0 && ::statfs(root.c_str(), &here) == 0 &&
            (shm.f_fsid.__val[0] != here.f_fsid.__val[0] ||
             shm.f_fsid.__val[1] != here.f_fsid.__val[1])) {
            other = std::make_unique<TempDir>("/dev/shm");
            otherRoot = other->path();
        }
    }
    static void folder(const std::string& path) { ASSERT_EQ(::mkdir(path.c_str(), 0755), 0); }
    static void file(const std::string& path, const std::string& data) { writeFile(path, data); }
    static void symlink(const std::string& path, const std::string& target) {
        ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0);
    }
    static void rename(const std::string& from, const std::string& to) {
        ASSERT_EQ(::rename(from.c_str(), to.c_str()), 0);
    }
    [[nodiscard]] static std::optional<std::string> contents(const std::string& path) {
        const auto status = std::filesystem::symlink_status(path);
        if (std::filesystem::is_symlink(status)) {
            return std::filesystem::read_symlink(path).string();
        }
        if (!std::filesystem::exists(status)) {
            return std::nullopt;
        }
        return readFile(path);
    }
    [[nodiscard]] static bool exists(const std::string& path) {
        return std::filesystem::exists(std::filesystem::symlink_status(path));
    }
};

// Records a copy's progress and stops it when told to.
struct Progress : CopyProgress {
    std::uint64_t bytes = 0;
    bool stop = false;
    void copied(std::uint64_t more) override { bytes += more; }
    bool cancelRequested() override { return stop; }
};

template <class Side>
class DirectoryHandlesContract : public ::testing::Test {
  protected:
    Side side;
    DirectoryHandles& handles = side.handles;
    std::string at(const std::string& name) { return side.root + "/" + name; }
    FolderHandle open(const std::string& path) {
        auto folder = handles.openFolder(path);
        EXPECT_TRUE(folder.ok()) << path;
        return folder.ok() ? std::move(folder).value() : FolderHandle{};
    }
    std::vector<std::string> sortedList(const FolderHandle& folder) {
        auto names = handles.list(folder);
        EXPECT_TRUE(names.ok());
        std::vector<std::string> sorted = names.ok() ? names.value() : std::vector<std::string>{};
        std::sort(sorted.begin(), sorted.end());
        return sorted;
    }
};

using Sides = ::testing::Types<FakeSide, PosixSide>;
TYPED_TEST_SUITE(DirectoryHandlesContract, Sides);

TYPED_TEST(DirectoryHandlesContract, ListsAndTellsEntriesWithoutFollowingLinks) {
    this->side.folder(this->at("sub"));
    this->side.file(this->at("file"), "hello");
    this->side.symlink(this->at("link"), this->at("sub"));
    const FolderHandle root = this->open(this->side.root);
    EXPECT_EQ(this->sortedList(root), (std::vector<std::string>{"file", "link", "sub"}));

    const auto file = this->handles.status(root, "file");
    ASSERT_TRUE(file.ok());
    EXPECT_EQ(file.value().type, Type::file);
    EXPECT_EQ(file.value().size, 5U);
    EXPECT_EQ(file.value().links, 1U);
    EXPECT_EQ(this->handles.status(root, "link").value().type, Type::symlink);
    EXPECT_EQ(this->handles.readSymlink(root, "link").value(), this->at("sub"));
    EXPECT_EQ(this->handles.status(root, "missing").error().kind, ErrorKind::notFound);

    // A folder is opened by name only when the entry is a folder, never through a link.
    const auto sub = this->handles.openFolderAt(root, "sub");
    ASSERT_TRUE(sub.ok());
    EXPECT_TRUE(this->handles.status(sub.value())
                    .value()
                    .sameItem(this->handles.status(root, "sub").value()));
    EXPECT_EQ(this->handles.openFolderAt(root, "link").error().kind, ErrorKind::notADirectory);
    EXPECT_EQ(this->handles.openFolderAt(root, "file").error().kind, ErrorKind::notADirectory);
    EXPECT_EQ(this->handles.openFolderAt(root, "missing").error().kind, ErrorKind::notFound);
    // The path given to openFolder is the user's: links along it are followed.
    EXPECT_TRUE(this->handles.openFolder(this->at("link")).ok());
}

TYPED_TEST(DirectoryHandlesContract, AHandleActsOnItsFolderWhateverIsPutInPlaceOfIt) {
    this->side.folder(this->at("cut"));
    this->side.file(this->at("cut/a"), "mine");
    this->side.folder(this->at("victim"));
    this->side.file(this->at("victim/a"), "not mine");
    const FolderHandle cut = this->open(this->at("cut"));

    // Another program moves the folder away and puts a link to another folder in its place.
    this->side.rename(this->at("cut"), this->at("moved"));
    this->side.symlink(this->at("cut"), this->at("victim"));
    EXPECT_EQ(this->handles.currentPath(cut), this->at("moved"));
    EXPECT_TRUE(this->handles.remove(cut, "a", false).ok());
    EXPECT_FALSE(this->side.exists(this->at("moved/a")));
    EXPECT_EQ(this->side.contents(this->at("victim/a")), "not mine");

    // Once removed, it is nowhere.
    const FolderHandle root = this->open(this->side.root);
    ASSERT_TRUE(this->handles.remove(root, "moved", true).ok());
    EXPECT_EQ(this->handles.currentPath(cut), "");
}

TYPED_TEST(DirectoryHandlesContract, CopiesAFileWholeWithItsMetadataAndNeverOverAnything) {
    const std::string data(3 << 20, 'q');
    this->side.file(this->at("source"), data);
    this->side.symlink(this->at("dangling"), this->at("nowhere"));
    this->side.file(this->at("taken"), "keep");
    const FolderHandle root = this->open(this->side.root);
    EntryStatus as = this->handles.status(root, "source").value();
    as.mode = 0640;
    as.modified = {1'600'000'000, 123'456'789};
    as.accessed = {1'600'000'001, 0};

    Progress progress;
    ASSERT_TRUE(this->handles.copyFile(root, "source", root, "copy", as, &progress).ok());
    EXPECT_EQ(progress.bytes, data.size());
    EXPECT_TRUE(this->handles.flushWritten({&root}).ok());
    EXPECT_EQ(this->side.contents(this->at("copy")), data);
    const EntryStatus copy = this->handles.status(root, "copy").value();
    EXPECT_EQ(copy.type, Type::file);
    EXPECT_EQ(copy.size, data.size());
    EXPECT_EQ(copy.mode, 0640U);
    EXPECT_EQ(copy.modified, as.modified);
    EXPECT_FALSE(copy.sameItem(as));

    for (const std::string name : {"taken", "dangling"}) {
        EXPECT_EQ(this->handles.copyFile(root, "source", root, name, as, nullptr).error().kind,
                  ErrorKind::alreadyExists)
            << name;
    }
    EXPECT_EQ(this->side.contents(this->at("taken")), "keep");
    EXPECT_FALSE(this->side.exists(this->at("nowhere")));

    // Stopped, it leaves no copy.
    progress.stop = true;
    EXPECT_EQ(this->handles.copyFile(root, "source", root, "stopped", as, &progress).error().kind,
              ErrorKind::cancelled);
    EXPECT_FALSE(this->side.exists(this->at("stopped")));
}

TYPED_TEST(DirectoryHandlesContract, MakesFoldersLinksAndNodesAndAppliesMetadata) {
    this->side.folder(this->at("model"));
    this->side.file(this->at("file"), "x");
    const FolderHandle root = this->open(this->side.root);
    ASSERT_TRUE(this->handles.makeFolder(root, "made").ok());
    EXPECT_EQ(this->handles.status(root, "made").value().mode, 0700U);
    EXPECT_EQ(this->handles.makeFolder(root, "made").error().kind, ErrorKind::alreadyExists);

    EntryStatus as = this->handles.status(root, "model").value();
    as.mode = 0751;
    as.modified = {1'500'000'000, 5};
    ASSERT_TRUE(this->handles.applyMetadata(root, "model", root, "made", as).ok());
    const EntryStatus made = this->handles.status(root, "made").value();
    EXPECT_EQ(made.mode, 0751U);
    EXPECT_EQ(made.modified, as.modified);

    ASSERT_TRUE(this->handles.makeSymlink(root, "link", "../anywhere").ok());
    EXPECT_EQ(this->handles.readSymlink(root, "link").value(), "../anywhere");
    ASSERT_TRUE(this->handles.makeHardLink(root, "file", root, "second").ok());
    EXPECT_TRUE(this->handles.status(root, "second")
                    .value()
                    .sameItem(this->handles.status(root, "file").value()));
    EXPECT_EQ(this->handles.status(root, "file").value().links, 2U);

    EntryStatus fifo;
    fifo.type = Type::fifo;
    fifo.mode = 0600;
    ASSERT_TRUE(this->handles.makeNode(root, "fifo", fifo).ok());
    EXPECT_EQ(this->handles.status(root, "fifo").value().type, Type::fifo);
}

TYPED_TEST(DirectoryHandlesContract, RenamesWithoutReplacingAndRemovesOnlyWhatIsSaid) {
    this->side.folder(this->at("full"));
    this->side.file(this->at("full/inside"), "");
    this->side.file(this->at("file"), "");
    this->side.file(this->at("other"), "");
    const FolderHandle root = this->open(this->side.root);
    const FolderHandle full = this->open(this->at("full"));

    EXPECT_EQ(this->handles.renameNoReplace(root, "file", root, "other").error().kind,
              ErrorKind::alreadyExists);
    EXPECT_EQ(this->handles.renameNoReplace(root, "full", full, "into").error().kind,
              ErrorKind::invalidArgument);
    ASSERT_TRUE(this->handles.renameNoReplace(root, "file", full, "renamed").ok());
    EXPECT_TRUE(this->side.exists(this->at("full/renamed")));

    const struct {
        const char* name;
        bool folder;
        ErrorKind kind;
    } refusals[] = {
        {"full", true, ErrorKind::alreadyExists},  // not empty
        {"full", false, ErrorKind::isADirectory},
        {"other", true, ErrorKind::notADirectory},
        {"missing", false, ErrorKind::notFound},
    };
    for (const auto& refusal : refusals) {
        const Status removed = this->handles.remove(root, refusal.name, refusal.folder);
        EXPECT_EQ(removed.ok() ? ErrorKind::other : removed.error().kind, refusal.kind)
            << refusal.name << (refusal.folder ? " as a folder" : " as a file");
    }
    EXPECT_TRUE(this->side.exists(this->at("full/inside")));
    EXPECT_TRUE(this->handles.remove(root, "other", false).ok());
    EXPECT_FALSE(this->side.exists(this->at("other")));
}

TYPED_TEST(DirectoryHandlesContract, AcrossFilesystemsOnlyACopyMoves) {
    if (this->side.otherRoot.empty()) {
        GTEST_SKIP() << "/dev/shm is not a filesystem of its own here";
    }
    this->side.file(this->at("file"), "data");
    const FolderHandle root = this->open(this->side.root);
    const FolderHandle other = this->open(this->side.otherRoot);
    EXPECT_NE(this->handles.status(root).value().device,
              this->handles.status(other).value().device);
    EXPECT_EQ(this->handles.renameNoReplace(root, "file", other, "file").error().kind,
              ErrorKind::crossDevice);
    EXPECT_EQ(this->handles.makeHardLink(root, "file", other, "file").error().kind,
              ErrorKind::crossDevice);
    const EntryStatus as = this->handles.status(root, "file").value();
    ASSERT_TRUE(this->handles.copyFile(root, "file", other, "file", as, nullptr).ok());
    EXPECT_TRUE(this->handles.flushWritten({&other}).ok());
    EXPECT_EQ(this->side.contents(this->side.otherRoot + "/file"), "data");
}

// The kernel's own: a sparse file's holes stay holes in its copy.
TEST(PosixDirectoryHandles, ASparseFileStaysSparse) {
    TempDir dir;
    const std::string data = "end";
    {
        const int fd = ::open((dir / "sparse").c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, data.data(), data.size(), off_t{8} << 20),
                  static_cast<ssize_t>(data.size()));
        ::close(fd);
    }
    linux_platform::PosixDirectoryHandles handles;
    const FolderHandle root = handles.openFolder(dir.path()).value();
    Progress progress;
    ASSERT_TRUE(handles
                    .copyFile(root, "sparse", root, "copy", handles.status(root, "sparse").value(),
                              &progress)
                    .ok());
    EXPECT_EQ(progress.bytes, (std::uint64_t{8} << 20) + data.size());
    struct stat copy {};
    ASSERT_EQ(::stat((dir / "copy").c_str(), &copy), 0);
    EXPECT_EQ(copy.st_size, (off_t{8} << 20) + 3);
    EXPECT_LT(copy.st_blocks * 512, off_t{1} << 20);
    EXPECT_EQ(readFile(dir / "copy").substr(std::size_t{8} << 20), data);
}

// The model's fault hook: another program acts between two steps, or a step fails.
TEST(FakeDirectoryHandles, AHookActsBeforeAnOperationOrFailsIt) {
    FakeDirectoryHandles handles;
    handles.addFolder("/a");
    handles.addFile("/a/f", "x");
    const FolderHandle a = handles.openFolder("/a").value();
    handles.beforeOperation = [&](FakeDirectoryHandles::Operation operation,
                                  const std::string& name) -> std::optional<Error> {
        if (operation == FakeDirectoryHandles::Operation::remove && name == "f") {
            return Error{ErrorKind::permissionDenied, "Operation not permitted"};
        }
        if (operation == FakeDirectoryHandles::Operation::status) {
            handles.rewriteFile("/a/f", "changed");
        }
        return std::nullopt;
    };
    EXPECT_EQ(handles.status(a, "f").value().size, 7U);
    EXPECT_EQ(handles.remove(a, "f", false).error().kind, ErrorKind::permissionDenied);
    EXPECT_EQ(handles.contents("/a/f"), "changed");
}

}  // namespace
}  // namespace quenta::testing
