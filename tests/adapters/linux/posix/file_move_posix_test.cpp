#include "adapters/linux/posix/file_move_posix.hpp"

#include "adapters/linux/posix/file_system_posix.hpp"
#include "adapters/linux/posix/posix_error.hpp"
#include "support/temp_dir.hpp"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace quenta::testing {
namespace {

using linux_platform::errorFromErrno;
using linux_platform::finishInterruptedMoves;
using linux_platform::MoveFaults;
using linux_platform::moveFileSystemItem;
using linux_platform::MoveStep;
using linux_platform::PosixFileSystem;
using ::testing::MatchesRegex;

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

// Everything of each item that mv keeps, for trees whose inode numbers differ: what describeTree
// says plus group, access time, link count, blocks on disk, device numbers, extended attributes
// (ACLs included) and which names are one file.
std::map<std::string, std::string> describeAll(const std::string& top) {
    // Status first: reading the contents may change access times.
    std::map<std::string, struct stat> status;
    status["."] = {};
    ::lstat(top.c_str(), &status["."]);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(top)) {
        ::lstat(entry.path().c_str(), &status[entry.path().lexically_relative(top).string()]);
    }
    std::map<std::string, std::string> items = describeTree(top);
    std::map<ino_t, std::string> firstNames;
    for (auto& [key, text] : items) {
        const std::string path = key == "." ? top : top + "/" + key;
        const struct stat& info = status[key];
        text += " g" + std::to_string(info.st_gid) + " a" + std::to_string(info.st_atim.tv_sec) +
                "." + std::to_string(info.st_atim.tv_nsec) + " n" + std::to_string(info.st_nlink) +
                " b" + std::to_string(info.st_blocks) + " r" + std::to_string(info.st_rdev);
        if (!S_ISDIR(info.st_mode) && info.st_nlink > 1) {
            text += " one with " + firstNames.emplace(info.st_ino, key).first->second;
        }
        std::vector<char> names(4096);
        const ssize_t length = ::llistxattr(path.c_str(), names.data(), names.size());
        std::vector<std::string> attributes;
        for (std::size_t at = 0; length > 0 && at < static_cast<std::size_t>(length);
             at += std::strlen(&names[at]) + 1) {
            char value[4096];
            const ssize_t size = ::lgetxattr(path.c_str(), &names[at], value, sizeof value);
            attributes.push_back(std::string(&names[at]) + "=" +
                                 std::string(value, size > 0 ? static_cast<std::size_t>(size) : 0));
        }
        std::sort(attributes.begin(), attributes.end());
        for (const auto& attribute : attributes) {
            text += " [" + attribute + "]";
        }
    }
    return items;
}

std::uint64_t bytesOfFiles(const std::string& top) {
    std::uint64_t total = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(top)) {
        struct stat info {};
        if (::lstat(entry.path().c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            total += static_cast<std::uint64_t>(info.st_size);
        }
    }
    return total;
}

// An observer that adds up what it is told and asks to stop at the given question (0: never).
class CountingObserver : public MoveObserver {
  public:
    explicit CountingObserver(int cancelAt = 0) : cancelAt_(cancelAt) {}
    void copyStarted(const std::string&, std::uint64_t totalBytes) override { total = totalBytes; }
    void copied(std::uint64_t bytes) override { done += bytes; }
    bool cancelRequested() override { return ++questions == cancelAt_; }
    std::uint64_t total = 0;
    std::uint64_t done = 0;
    int questions = 0;

  private:
    int cancelAt_;
};

class FileMoveEngineTest : public FileMoveTest {
  protected:
    void SetUp() override {
        if (otherFilesystem().empty()) {
            GTEST_SKIP() << "/dev/shm is not a filesystem of its own here";
        }
    }

    // buildTree's items plus what only a careful copy keeps: a 256 MiB file holding 4 KiB of
    // data, extended attributes and an ACL, hard links, a socket, a device node.
    void buildRichTree(const std::string& top) {
        buildTree(top);
        {
            const UniqueFdForTest sparse(
                ::open((top + "/sub/disk.img").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644));
            ASSERT_EQ(::pwrite(sparse.fd, std::string(4096, 'd').data(), 4096, 100 << 20), 4096);
            ASSERT_EQ(::ftruncate(sparse.fd, 256 << 20), 0);
        }
        ASSERT_EQ(::link((top + "/notes.txt").c_str(), (top + "/sub/notes again").c_str()), 0);
        ASSERT_EQ(::setxattr((top + "/notes.txt").c_str(), "user.tag", "red", 3, 0), 0);
        ASSERT_EQ(::setxattr((top + "/sub").c_str(), "user.origin", "camera", 6, 0), 0);
        if (runCommand("command -v setfacl").status == 0) {
            ASSERT_EQ(runCommand("setfacl -m u:4321:rw " + shellQuote(top + "/run.sh")).status, 0);
            ASSERT_EQ(runCommand("setfacl -d -m g:4321:rx " + shellQuote(top + "/sub")).status, 0);
        }
        const int socketFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string socketPath = top + "/socket";
        ASSERT_LT(socketPath.size(), sizeof address.sun_path);
        std::strcpy(address.sun_path, socketPath.c_str());
        ASSERT_EQ(::bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(socketFd);
        if (::geteuid() == 0) {
            ASSERT_EQ(::mknod((top + "/null").c_str(), S_IFCHR | 0640, makedev(1, 3)), 0);
        }
        // Fixed times everywhere, access times apart from modification times, folders last.
        std::vector<std::string> paths;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(top)) {
            paths.push_back(entry.path());
        }
        paths.push_back(top);
        std::sort(paths.rbegin(), paths.rend());
        long nanoseconds = 1;
        for (const auto& path : paths) {
            struct stat info {};
            ASSERT_EQ(::lstat(path.c_str(), &info), 0);
            const timespec times[2] = {{1'100'000'000, nanoseconds++},
                                       info.st_mtim.tv_sec > 1'700'000'000
                                           ? timespec{1'000'000'000, 900'000'000 + nanoseconds}
                                           : info.st_mtim};
            ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
        }
    }

    struct UniqueFdForTest {
        explicit UniqueFdForTest(int value) : fd(value) {}
        ~UniqueFdForTest() { ::close(fd); }
        int fd;
    };

    // Moves into a private mount namespace, so mounts made by a test vanish with the process.
    static bool privateMounts() {
        static const bool done = ::unshare(CLONE_NEWNS) == 0 &&
                                 ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        return done;
    }

    static std::string listing(const std::string& folder) {
        return runCommand("ls -A " + shellQuote(folder)).out;
    }

    TempDir far{"/dev/shm"};
};

TEST_F(FileMoveEngineTest, KeepsWhatMvKeeps) {
    buildRichTree(work / "ours");
    buildRichTree(work / "theirs");

    ASSERT_EQ(runCommand("mv " + shellQuote(work / "theirs") + " " + shellQuote(far / "mv")).status,
              0);
    CountingObserver observer;
    const auto moved = moveFileSystemItem(work / "ours", far / "moved", &observer);
    ASSERT_TRUE(moved.ok()) << failure(moved);
    EXPECT_EQ(moved.value(), MoveOutcome{});

    const auto ours = describeAll(far / "moved");
    EXPECT_EQ(ours, describeAll(far / "mv"));
    EXPECT_THAT(ours.at("sub/disk.img"), ::testing::HasSubstr(" a1100000000."));
    const auto du = [](const std::string& path) {
        return runCommand("du -s -B1 " + shellQuote(path) + " | cut -f1").out;
    };
    EXPECT_EQ(du(far / "moved"), du(far / "mv"));
    EXPECT_LT(std::stoll(du(far / "moved")), 16ll << 20);  // the 256 MiB stayed sparse
    EXPECT_EQ(listing(far.path()), "moved\nmv\n");
    EXPECT_FALSE(files.itemExists(work / "ours"));
    EXPECT_EQ(observer.total, bytesOfFiles(far / "moved"));
    EXPECT_EQ(observer.done, observer.total);
}

TEST_F(FileMoveEngineTest, RealFilesystemsThatRefuseLeaveTheSourceWholeAndNoCopy) {
    if (!privateMounts()) {
        GTEST_SKIP() << "no private mount namespace here (needs root)";
    }
    buildTree(work / "tree");
    const auto before = describeTree(work / "tree");
    ASSERT_EQ(::mkdir((work / "small").c_str(), 0755), 0);
    ASSERT_EQ(::mount("quenta-small", (work / "small").c_str(), "tmpfs", 0, "size=1m"), 0);
    const auto full = files.moveItem(work / "tree", work / "small/tree");
    EXPECT_EQ(failure(full), failure(ENOSPC));
    EXPECT_EQ(listing(work / "small"), "");
    EXPECT_EQ(describeTree(work / "tree"), before);

    ASSERT_EQ(::mkdir((work / "ro").c_str(), 0755), 0);
    ASSERT_EQ(::rename((work / "tree").c_str(), (work / "ro/tree").c_str()), 0);
    ASSERT_EQ(::mount((work / "ro").c_str(), (work / "ro").c_str(), nullptr, MS_BIND, nullptr), 0);
    ASSERT_EQ(
        ::mount(nullptr, (work / "ro").c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr),
        0);
    const auto readOnly = files.moveItem(work / "ro/tree", far / "tree");
    EXPECT_EQ(failure(readOnly), failure(EROFS));
    EXPECT_EQ(listing(far.path()), "");
    EXPECT_EQ(describeTree(work / "ro/tree"), before);
    ASSERT_EQ(::umount((work / "ro").c_str()), 0);
    ASSERT_EQ(::umount((work / "small").c_str()), 0);
}

TEST_F(FileMoveEngineTest, OnlyWhatWasCopiedAndIsUnchangedLeavesTheSource) {
    struct Case {
        std::string name;
        MoveStep step;
        std::string at;  // the entry of the step, relative to the tree ("" for any)
        std::function<int(const std::string& tree)> act;
        std::string failure;                     // "ok" when the move succeeds
        std::vector<std::string> leftAtSource;   // relative to the tree's folder
        std::vector<std::string> stillAtSource;  // every entry left, relative to the folder
        std::string wholeAt = "tree";            // where a failed move left the tree whole
    };
    const std::vector<Case> cases = {
        {"a file added meanwhile stays, with its folder",
         MoveStep::copyFile,
         "sub/big.bin",
         [](const std::string& tree) {
             writeFile(tree + "/added.txt", "new");
             return 0;
         },
         "ok",
         {"tree"},
         {"tree", "tree/added.txt"}},
        {"a file changed after its copy stays",
         MoveStep::copyFile,
         "sub/big.bin",
         [](const std::string& tree) {
             writeFile(tree + "/notes.txt", "changed");
             return 0;
         },
         "ok",
         {"tree/notes.txt"},
         {"tree", "tree/notes.txt"}},
        {"an entry that cannot be removed stays",
         MoveStep::removeEntry,
         "tree/sub/big.bin",
         [](const std::string&) { return EACCES; },
         "ok",
         {"tree/sub/big.bin"},
         {"tree", "tree/sub", "tree/sub/big.bin"}},
        {"nothing can be removed",
         MoveStep::removeEntry,
         "",
         [](const std::string&) { return EACCES; },
         failure(EACCES),
         {},
         {}},
        {"another mover took the source",
         MoveStep::placeCopy,
         "",
         [](const std::string& tree) {
             return ::rename(tree.c_str(), (tree + "-elsewhere").c_str()) == 0 ? 0 : errno;
         },
         failure(ENOENT),
         {},
         {},
         "tree-elsewhere"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        TempDir source;
        TempDir target("/dev/shm");
        buildTree(source / "tree");
        const auto before = describeTree(source / "tree");
        MoveFaults faults;
        faults.inject = [&](MoveStep step, const std::string& path) {
            return step == test.step && (test.at.empty() || path == test.at)
                       ? test.act(source / "tree")
                       : 0;
        };
        const auto moved = moveFileSystemItem(source / "tree", target / "tree", nullptr, faults);
        ASSERT_EQ(failure(moved), test.failure);
        std::vector<std::string> left;
        for (const auto& entry : test.leftAtSource) {
            left.push_back(source / entry);
        }
        if (test.failure == "ok") {
            EXPECT_EQ(moved.value().leftAtSource, left);
            EXPECT_EQ(moved.value().removalError.has_value(), test.step == MoveStep::removeEntry);
            // Source and copy together hold each entry once.
            auto together = describeTree(target / "tree");
            for (const auto& entry : test.stillAtSource) {
                if (entry != "tree" && !std::filesystem::is_directory(source / entry)) {
                    EXPECT_FALSE(files.itemExists(target / entry)) << entry;
                }
            }
            EXPECT_GE(together.size() + test.stillAtSource.size(), before.size());
        } else {
            EXPECT_EQ(listing(target.path()), "");
        }
        std::vector<std::string> still;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(source.path())) {
            still.push_back(entry.path().lexically_relative(source.path()).string());
        }
        std::sort(still.begin(), still.end());
        if (test.failure == "ok") {
            EXPECT_EQ(still, test.stillAtSource);
        } else {
            EXPECT_EQ(describeTree(source / test.wholeAt), before);
        }
    }
}

// Runs `move` in a child process that kills itself with SIGKILL at the `occurrence`th time it
// reaches `at`: true when the child died so.
template <typename Move>
bool killedAt(MoveStep at, int occurrence, const Move& move) {
    const pid_t child = ::fork();
    if (child < 0) {
        return false;
    }
    if (child == 0) {
        int seen = 0;
        MoveFaults faults;
        faults.inject = [&](MoveStep step, const std::string&) {
            if (step == at && ++seen == occurrence) {
                ::kill(::getpid(), SIGKILL);
            }
            return 0;
        };
        move(faults);
        ::_exit(0);
    }
    int status = 0;
    return ::waitpid(child, &status, 0) == child && WIFSIGNALED(status) &&
           WTERMSIG(status) == SIGKILL;
}

TEST_F(FileMoveEngineTest, AProcessKilledMidwayLeavesOnlyAHiddenPartialThatTheNextMoveRemoves) {
    struct Case {
        MoveStep step;
        int occurrence;
        bool copyInPlace;  // the copy is whole under its name when the process dies
    };
    for (const Case test : {Case{MoveStep::copyFile, 3, false}, Case{MoveStep::placeCopy, 1, false},
                            Case{MoveStep::removeEntry, 1, true}}) {
        SCOPED_TRACE(static_cast<int>(test.step));
        // Into the work disk, whose folders have birth times: a folder made anew is looked at
        // anew even where its inode number was used before.
        TempDir source("/dev/shm");
        TempDir target;
        buildTree(source / "tree");
        const auto before = describeTree(source / "tree");
        ASSERT_TRUE(killedAt(test.step, test.occurrence, [&](const MoveFaults& faults) {
            (void)moveFileSystemItem(source / "tree", target / "tree", nullptr, faults);
        }));
        EXPECT_EQ(describeTree(source / "tree"), before);
        const std::string left = listing(target.path());
        if (test.copyInPlace) {
            EXPECT_EQ(left, "tree\n");
            EXPECT_EQ(describeTree(target / "tree"), before);
            continue;
        }
        EXPECT_THAT(left, MatchesRegex(R"(\.tree\.quenta-partial-[0-9]+-[0-9]+-[A-Za-z0-9]{6}.)"));
        writeFile(source / "next", "next");
        ASSERT_TRUE(files.moveItem(source / "next", target / "next").ok());
        EXPECT_EQ(listing(target.path()), "next\n");
    }
}

// Another program swaps or takes away a folder of the cut at the removal step: nothing outside
// the cut is removed, and what stayed is reported where it is now.
TEST_F(FileMoveEngineTest, AFolderSwappedOrTakenAwayDuringTheRemovalRedirectsNothing) {
    struct Case {
        std::string name;
        std::function<void(const std::string& dir)> act;  // at the first removal
        std::string nowAt;  // where the rest of the tree is then, relative to the source folder
    };
    const auto swap = [](const std::string& folder, const std::string& away) {
        ASSERT_EQ(::rename(folder.c_str(), away.c_str()), 0);
        ASSERT_EQ(::symlink("victim", folder.c_str()), 0);
    };
    const std::vector<Case> cases = {
        {"the cut folder swapped for a link",
         [&](const std::string& dir) { swap(dir + "/tree", dir + "/tree-away"); }, "tree-away"},
        {"a folder inside swapped for a link",
         [&](const std::string& dir) {
             ASSERT_EQ(::rename((dir + "/tree/sub").c_str(), (dir + "/sub-away").c_str()), 0);
             ASSERT_EQ(::symlink("../victim", (dir + "/tree/sub").c_str()), 0);
         },
         ""},
        {"the cut folder moved to the Trash",
         [&](const std::string& dir) {
             ASSERT_EQ(::rename((dir + "/tree").c_str(), (dir + "/trashed").c_str()), 0);
         },
         "trashed"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        TempDir source;
        TempDir target("/dev/shm");
        buildTree(source / "tree");
        buildTree(source / "victim");  // the same names, outside the cut
        ASSERT_EQ(::mkdir((source / "victim/sub/more").c_str(), 0700), 0);
        const auto victim = describeTree(source / "victim");
        const auto before = describeTree(source / "tree");
        int removals = 0;
        MoveFaults faults;
        faults.inject = [&](MoveStep step, const std::string&) {
            if (step == MoveStep::removeEntry && ++removals == 1) {
                test.act(source.path());
            }
            return 0;
        };
        const auto moved = moveFileSystemItem(source / "tree", target / "tree", nullptr, faults);
        EXPECT_EQ(describeTree(source / "victim"), victim);
        ASSERT_TRUE(moved.ok()) << failure(moved);
        if (test.nowAt.empty()) {
            EXPECT_FALSE(moved.value().leftAtSource.empty());
        } else {
            ASSERT_TRUE(moved.value().movedAway.has_value());
            EXPECT_EQ(moved.value().movedAway->from, source / "tree");
            EXPECT_EQ(moved.value().movedAway->now, source / test.nowAt);
            // Each file is at one place: the copy, or the folder where it is now.
            auto together = describeTree(source / test.nowAt);
            for (const auto& [path, description] : describeTree(target / "tree")) {
                if (path != "." && description.find(" bytes") != std::string::npos) {
                    EXPECT_EQ(together.count(path), 0U) << path;
                }
                together.insert({path, description});
            }
            EXPECT_EQ(together.size(), before.size());
        }
    }
}

TEST_F(FileMoveEngineTest, PathsLongerThanPathMaxMoveWhole) {
    // 24 nested folders of 200 bytes each: about 4,800 bytes below the top.
    const std::string segment(200, 'n');
    std::string relative;
    {
        ASSERT_EQ(::mkdir((work / "deep").c_str(), 0755), 0);
        int fd = ::open((work / "deep").c_str(), O_RDONLY | O_DIRECTORY);
        for (int level = 0; level < 24; ++level) {
            ASSERT_EQ(::mkdirat(fd, segment.c_str(), 0755), 0);
            const int inner = ::openat(fd, segment.c_str(), O_RDONLY | O_DIRECTORY);
            ::close(fd);
            fd = inner;
            relative += "/" + segment;
        }
        const int file = ::openat(fd, "leaf.txt", O_WRONLY | O_CREAT | O_EXCL, 0644);
        ASSERT_EQ(::write(file, "leaf", 4), 4);
        ::close(file);
        ::close(fd);
    }
    ASSERT_GT(relative.size(), std::size_t{PATH_MAX});
    const auto moved = moveFileSystemItem(work / "deep", far / "deep");
    ASSERT_TRUE(moved.ok()) << failure(moved);
    EXPECT_EQ(moved.value(), MoveOutcome{});
    EXPECT_FALSE(files.itemExists(work / "deep"));
    EXPECT_EQ(
        runCommand("cd " + shellQuote(far / "deep") + " && find . -name leaf.txt | wc -l").out,
        "1\n");
    ASSERT_EQ(runCommand("rm -rf " + shellQuote(far / "deep")).status, 0);
}

// Killed at a step and started again: the next process ends the move, each file exactly once.
TEST_F(FileMoveEngineTest, AMoveKilledMidwayIsEndedFromItsJournal) {
    struct Case {
        MoveStep step;
        int occurrence;
        bool placed;  // finished forward (else undone)
    };
    for (const Case test :
         {Case{MoveStep::placeCopy, 1, false}, Case{MoveStep::removeEntry, 1, true},
          Case{MoveStep::removeEntry, 4, true}}) {
        SCOPED_TRACE(static_cast<int>(test.step) * 10 + test.occurrence);
        TempDir source;
        TempDir target("/dev/shm");
        TempDir journal;
        buildTree(source / "tree");
        const auto before = describeTree(source / "tree");
        ASSERT_TRUE(killedAt(test.step, test.occurrence, [&](const MoveFaults& faults) {
            (void)moveFileSystemItem(source / "tree", target / "tree", nullptr, faults,
                                     journal / "moves");
        }));

        const auto ended = finishInterruptedMoves(journal / "moves");
        ASSERT_EQ(ended.size(), 1U);
        EXPECT_EQ(ended[0].from, source / "tree");
        EXPECT_EQ(ended[0].placed, test.placed);
        EXPECT_TRUE(ended[0].outcome.leftAtSource.empty());
        EXPECT_EQ(listing(journal / "moves"), "");
        if (test.placed) {
            EXPECT_EQ(listing(source.path()), "");
            EXPECT_EQ(listing(target.path()), "tree\n");
            EXPECT_EQ(describeTree(target / "tree"), before);
        } else {
            EXPECT_EQ(listing(target.path()), "");
            EXPECT_EQ(describeTree(source / "tree"), before);
        }
        EXPECT_TRUE(finishInterruptedMoves(journal / "moves").empty());
    }
}

TEST_F(FileMoveEngineTest, ACancelledMoveStopsAfterTheCurrentFileAndLeavesNoCopy) {
    buildTree(work / "tree");
    const auto before = describeTree(work / "tree");
    CountingObserver observer(3);
    const auto cancelled = moveFileSystemItem(work / "tree", far / "tree", &observer);
    ASSERT_FALSE(cancelled.ok());
    EXPECT_EQ(cancelled.error().kind, ErrorKind::cancelled);
    EXPECT_EQ(observer.questions, 3);
    EXPECT_EQ(listing(far.path()), "");
    EXPECT_EQ(describeTree(work / "tree"), before);
}

}  // namespace
}  // namespace quenta::testing
