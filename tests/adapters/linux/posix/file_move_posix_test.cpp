#include "adapters/linux/posix/file_move_posix.hpp"

#include "adapters/linux/posix/file_system_posix.hpp"
#include "adapters/linux/posix/posix_error.hpp"
#include "support/temp_dir.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

namespace quenta::testing {
namespace {

using linux_platform::errorFromErrno;
using linux_platform::MoveFaults;
using linux_platform::moveFileSystemItem;
using linux_platform::MoveStep;
using linux_platform::PosixFileSystem;

// Everything a move must keep, for each item of a tree: type, mode, modification time, and the
// contents of a file or the target of a link. Keyed by the path relative to the tree's top.
std::map<std::string, std::string> describeTree(const std::string& top) {
    std::map<std::string, std::string> items;
    const auto describe = [&](const std::filesystem::path& path, const std::string& key) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) {
            return;
        }
        std::string text = std::to_string(info.st_mode) + " " +
                           std::to_string(info.st_mtim.tv_sec) + "." +
                           std::to_string(info.st_mtim.tv_nsec) + " " + std::to_string(info.st_uid);
        if (S_ISLNK(info.st_mode)) {
            text += " -> " + std::filesystem::read_symlink(path).string();
        } else if (S_ISREG(info.st_mode)) {
            const std::string contents = readFile(path);
            text += " " + std::to_string(contents.size()) + " bytes, hash " +
                    std::to_string(std::hash<std::string>{}(contents));
        }
        items[key] = text;
    };
    describe(top, ".");
    std::error_code error;
    if (std::filesystem::is_directory(std::filesystem::symlink_status(top, error))) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(top, error)) {
            describe(entry.path(), entry.path().lexically_relative(top).string());
        }
    }
    return items;
}

// The description of a failed outcome ("ok" for success), or of an errno value, for comparisons
// that print readably.
template <class T>
std::string failure(const Result<T>& outcome) {
    return outcome.ok() ? "ok" : outcome.error().description;
}
std::string failure(int errnoValue) {
    return errorFromErrno(errnoValue).description;
}

void setTime(const std::string& path, long seconds, long nanoseconds) {
    const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

class FileMoveTest : public ::testing::Test {
  protected:
    // A tree with every kind of item a move keeps: modes, times, links (one dangling), a FIFO,
    // an empty file, a file larger than any small buffer, an owner other than the mover's own.
    void buildTree(const std::string& top) {
        ASSERT_EQ(::mkdir(top.c_str(), 0750), 0);
        ASSERT_EQ(::mkdir((top + "/sub").c_str(), 0700), 0);
        writeFile(top + "/notes.txt", "some text\n");
        writeFile(top + "/run.sh", "#!/bin/sh\n");
        writeFile(top + "/empty", "");
        writeFile(top + "/sub/big.bin", std::string(3 * 1024 * 1024 + 7, 'q'));
        ASSERT_EQ(::chmod((top + "/notes.txt").c_str(), 0640), 0);
        ASSERT_EQ(::chmod((top + "/run.sh").c_str(), 0755), 0);
        ASSERT_EQ(::symlink("../notes.txt", (top + "/sub/link").c_str()), 0);
        ASSERT_EQ(::symlink("/nowhere/at/all", (top + "/dangling").c_str()), 0);
        ASSERT_EQ(::mkfifo((top + "/pipe").c_str(), 0620), 0);
        if (::geteuid() == 0) {
            ASSERT_EQ(::chown((top + "/notes.txt").c_str(), 4321, 4321), 0);
        }
        setTime(top + "/notes.txt", 1'600'000'000, 123'456'789);
        setTime(top + "/sub/link", 1'500'000'000, 5);
        setTime(top + "/sub/big.bin", 1'400'000'000, 999'999'999);
        setTime(top + "/sub", 1'300'000'000, 1);
        setTime(top, 1'200'000'000, 42);
    }

    // A folder on a filesystem other than the work disk's, or empty when there is none.
    static std::string otherFilesystem() {
        struct statfs shm {};
        struct statfs tmp {};
        if (::statfs("/dev/shm", &shm) != 0 || ::statfs("/tmp", &tmp) != 0 ||
            (shm.f_fsid.__val[0] == tmp.f_fsid.__val[0] &&
             shm.f_fsid.__val[1] == tmp.f_fsid.__val[1])) {
            return {};
        }
        return "/dev/shm";
    }

    TempDir work;
    PosixFileSystem files;
};

TEST_F(FileMoveTest, OnOneFilesystemItemsAreRenamedAndNothingIsReplaced) {
    buildTree(work / "tree");
    const auto before = describeTree(work / "tree");
    ASSERT_TRUE(files.moveItem(work / "tree", work / "moved").ok());
    EXPECT_EQ(describeTree(work / "moved"), before);
    EXPECT_FALSE(files.itemExists(work / "tree"));

    // A taken name fails with the platform's message, whatever is there: a file, an empty
    // folder (which a plain rename would replace), a dangling link.
    writeFile(work / "file", "mine");
    writeFile(work / "taken", "theirs");
    ASSERT_EQ(::mkdir((work / "empty-folder").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((work / "other-folder").c_str(), 0755), 0);
    ASSERT_EQ(::symlink("/nowhere", (work / "dangling").c_str()), 0);
    const std::vector<std::pair<std::string, std::string>> collisions = {
        {"file", "taken"}, {"other-folder", "empty-folder"}, {"file", "dangling"}};
    for (const auto& [from, to] : collisions) {
        SCOPED_TRACE(to);
        const auto moved = files.moveItem(work / from, work / to);
        ASSERT_FALSE(moved.ok());
        EXPECT_EQ(failure(moved), failure(EEXIST));
    }
    EXPECT_EQ(readFile(work / "file"), "mine");
    EXPECT_EQ(readFile(work / "taken"), "theirs");
    EXPECT_TRUE(files.isDirectory(work / "other-folder"));

    // A link moves as a link, even one pointing nowhere.
    ASSERT_TRUE(files.moveItem(work / "dangling", work / "still-dangling").ok());
    EXPECT_EQ(std::filesystem::read_symlink(work / "still-dangling"), "/nowhere");

    const auto missing = files.moveItem(work / "no-such-item", work / "x");
    EXPECT_EQ(failure(missing), failure(ENOENT));
    const auto intoMissingFolder = files.moveItem(work / "file", work / "no-such-folder/x");
    EXPECT_EQ(failure(intoMissingFolder), failure(ENOENT));
    EXPECT_EQ(readFile(work / "file"), "mine");
}

TEST_F(FileMoveTest, AcrossFilesystemsTheWholeTreeIsCopiedThenTheSourceRemoved) {
    const std::string other = otherFilesystem();
    if (other.empty()) {
        GTEST_SKIP() << "/dev/shm is not a filesystem of its own here";
    }
    TempDir far(other);
    buildTree(work / "tree");
    const auto before = describeTree(work / "tree");

    ASSERT_TRUE(files.moveItem(work / "tree", far / "tree 2").ok());
    EXPECT_EQ(describeTree(far / "tree 2"), before);
    EXPECT_FALSE(files.itemExists(work / "tree"));

    // And back, a single file and a single link on their own.
    writeFile(far / "single", "one");
    ASSERT_EQ(::chmod((far / "single").c_str(), 0604), 0);
    ASSERT_EQ(::symlink("single", (far / "alias").c_str()), 0);
    const auto single = describeTree(far / "single");
    ASSERT_TRUE(files.moveItem(far / "single", work / "single").ok());
    ASSERT_TRUE(files.moveItem(far / "alias", work / "alias").ok());
    EXPECT_EQ(describeTree(work / "single"), single);
    EXPECT_EQ(std::filesystem::read_symlink(work / "alias"), "single");
    EXPECT_FALSE(files.itemExists(far / "single") || files.itemExists(far / "alias"));
}

TEST_F(FileMoveTest, AcrossFilesystemsATakenNameOrAFailedCopyLeavesBothSidesAsTheyWere) {
    const std::string other = otherFilesystem();
    if (other.empty()) {
        GTEST_SKIP() << "/dev/shm is not a filesystem of its own here";
    }
    TempDir far(other);
    buildTree(work / "tree");
    const auto before = describeTree(work / "tree");

    writeFile(far / "taken", "theirs");
    const auto collision = files.moveItem(work / "tree", far / "taken");
    EXPECT_EQ(failure(collision), failure(EEXIST));
    EXPECT_EQ(readFile(far / "taken"), "theirs");

    // The disk fills up at the third file: the partial copy goes, the source stays whole.
    int filesCopied = 0;
    MoveFaults faults;
    faults.inject = [&](MoveStep step, const std::string&) {
        return step == MoveStep::copyFile && ++filesCopied == 3 ? ENOSPC : 0;
    };
    const auto full = moveFileSystemItem(work / "tree", far / "copy", nullptr, faults);
    ASSERT_FALSE(full.ok());
    EXPECT_EQ(failure(full), failure(ENOSPC));
    EXPECT_EQ(full.error().kind, ErrorKind::noSpace);
    EXPECT_EQ(filesCopied, 3);
    EXPECT_FALSE(files.itemExists(far / "copy"));
    EXPECT_EQ(describeTree(work / "tree"), before);
    EXPECT_EQ(runCommand("ls -A " + shellQuote(far.path())).out, "taken\n");

    // A read-only copied folder is no obstacle to removing the partial copy.
    ASSERT_EQ(::chmod((work / "tree/sub").c_str(), 0500), 0);
    faults.inject = [](MoveStep step, const std::string& file) {
        return step == MoveStep::copyFile && file == "notes.txt" ? EIO : 0;
    };
    const auto unreadable = moveFileSystemItem(work / "tree", far / "copy", nullptr, faults);
    EXPECT_EQ(failure(unreadable), failure(EIO));
    EXPECT_FALSE(files.itemExists(far / "copy"));
    ASSERT_EQ(::chmod((work / "tree/sub").c_str(), 0700), 0);
    EXPECT_EQ(describeTree(work / "tree"), before);
}

TEST_F(FileMoveTest, AFolderIsNeverCopiedIntoItsOwnTree) {
    // A filesystem mounted inside the folder makes the move cross filesystems, so the kernel's own
    // refusal of a rename into itself does not apply.
    ASSERT_EQ(::mkdir((work / "folder").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((work / "folder/mount").c_str(), 0755), 0);
    writeFile(work / "folder/file", "kept");
    if (::mount("quenta-test", (work / "folder/mount").c_str(), "tmpfs", 0, "size=1m") != 0) {
        GTEST_SKIP() << "cannot mount a tmpfs here";
    }
    ASSERT_EQ(::symlink((work / "folder/mount").c_str(), (work / "way-in").c_str()), 0);

    const auto direct = files.moveItem(work / "folder", work / "folder/mount/copy");
    const auto throughLink = files.moveItem(work / "folder", work / "way-in/copy");
    const auto itself = files.moveItem(work / "folder", work / "folder/mount");

    EXPECT_EQ(failure(direct), failure(EINVAL));
    EXPECT_EQ(failure(throughLink), failure(EINVAL));
    EXPECT_FALSE(itself.ok());
    EXPECT_EQ(runCommand("ls -A " + shellQuote(work / "folder/mount")).out, "");
    EXPECT_EQ(readFile(work / "folder/file"), "kept");
    ASSERT_EQ(::umount((work / "folder/mount").c_str()), 0);
}

TEST_F(FileMoveTest, ResolvedPathFollowsEveryLinkAndAnswersNoneForMissingItems) {
    ASSERT_EQ(::mkdir((work / "real").c_str(), 0755), 0);
    ASSERT_EQ(::symlink("real", (work / "link").c_str()), 0);
    const std::string real = std::filesystem::canonical(work.path()).string() + "/real";
    EXPECT_EQ(files.resolvedPath(work / "link"), real);
    EXPECT_EQ(files.resolvedPath(work / "link/../link/."), real);
    EXPECT_EQ(files.resolvedPath(work / "link/missing"), std::nullopt);
}

}  // namespace
}  // namespace quenta::testing
