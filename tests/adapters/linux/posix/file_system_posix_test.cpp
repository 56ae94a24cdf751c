#include "adapters/linux/posix/file_system_posix.hpp"

#include "adapters/linux/posix/posix_error.hpp"
#include "adapters/linux/posix/random_uuid_source.hpp"
#include "core/requests/quenta_creator.hpp"
#include "fakes/fixed_clock.hpp"
#include "fakes/memory_pasteboard.hpp"
#include "fakes/recording_alerts.hpp"
#include "fakes/recording_workspace.hpp"
#include "support/environment_scope.hpp"
#include "support/temp_dir.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <thread>

namespace quenta::testing {
namespace {

using linux_platform::PosixFileSystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;

// Runs a body with a file-creation mask and puts the old one back.
class UmaskScope {
  public:
    explicit UmaskScope(mode_t mask) : old_(::umask(mask)) {}
    ~UmaskScope() { ::umask(old_); }

  private:
    mode_t old_;
};

std::vector<std::string> sortedEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class PosixFileSystemTest : public ::testing::Test {
  protected:
    TempDir dir;
    PosixFileSystem files;
};

TEST_F(PosixFileSystemTest, ExistenceCountsDanglingLinksAndDirectoryFollowsLinks) {
    writeFile(dir / "file", "x");
    ASSERT_EQ(::symlink("nowhere", (dir / "dangling").c_str()), 0);
    ASSERT_EQ(::symlink(dir.path().c_str(), (dir / "to-dir").c_str()), 0);
    EXPECT_TRUE(files.itemExists(dir / "file"));
    EXPECT_TRUE(files.itemExists(dir / "dangling"));
    EXPECT_FALSE(files.itemExists(dir / "absent"));
    EXPECT_TRUE(files.isDirectory(dir.path()));
    EXPECT_TRUE(files.isDirectory(dir / "to-dir"));
    EXPECT_FALSE(files.isDirectory(dir / "file"));
    EXPECT_FALSE(files.isDirectory(dir / "dangling"));
}

TEST_F(PosixFileSystemTest, NewFilesNeverReplaceOrWriteThroughLinks) {
    ASSERT_TRUE(files.writeNewFile(dir / "a", "first").ok());
    EXPECT_EQ(readFile(dir / "a"), "first");

    const Status again = files.writeNewFile(dir / "a", "second");
    ASSERT_FALSE(again.ok());
    EXPECT_EQ(again.error().kind, ErrorKind::alreadyExists);
    EXPECT_EQ(readFile(dir / "a"), "first");

    ASSERT_EQ(::symlink((dir / "target").c_str(), (dir / "link").c_str()), 0);
    EXPECT_FALSE(files.writeNewFile(dir / "link", "through").ok());
    EXPECT_FALSE(files.itemExists(dir / "target")) << "the write must not follow the link";

    const Status missing = files.writeNewFile(dir / "no/such", "x");
    EXPECT_EQ(missing.error().kind, ErrorKind::notFound);
    EXPECT_FALSE(missing.error().description.empty());
}

TEST_F(PosixFileSystemTest, AppendsNeverTruncateAndKeepLinesWholeAcrossThreads) {
    writeFile(dir / "log", "old line\n");
    ASSERT_TRUE(files.appendToFile(dir / "log", "new line\n").ok());
    EXPECT_EQ(readFile(dir / "log"), "old line\nnew line\n");
    EXPECT_FALSE(files.appendToFile(dir / "missing-folder/log", "x").ok());

    const std::string line = std::string(3000, 'x') + "\n";
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                (void)files.appendToFile(dir / "busy", line);
            }
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }
    const std::string all = readFile(dir / "busy");
    ASSERT_EQ(all.size(), line.size() * 200);
    for (std::size_t at = 0; at < all.size(); at += line.size()) {
        ASSERT_EQ(all.compare(at, line.size(), line), 0) << "interleaved at " << at;
    }
}

TEST_F(PosixFileSystemTest, AppendsFollowTheFileAtThePathAsItIsRemovedOrChanged) {
    ASSERT_TRUE(files.appendToFile(dir / "log", "one\n").ok());
    ASSERT_TRUE(files.appendToFile(dir / "other", "elsewhere\n").ok());
    ASSERT_TRUE(files.appendToFile(dir / "log", "two\n").ok());
    EXPECT_EQ(readFile(dir / "log"), "one\ntwo\n");
    EXPECT_EQ(readFile(dir / "other"), "elsewhere\n");

    // Removed between two lines: the next line starts the file again.
    ASSERT_EQ(::unlink((dir / "log").c_str()), 0);
    ASSERT_TRUE(files.appendToFile(dir / "log", "three\n").ok());
    EXPECT_EQ(readFile(dir / "log"), "three\n");

    // Its folder removed: the line cannot be written, and that is reported.
    runCommand("rm -rf " + shellQuote(dir / "sub") + " && mkdir " + shellQuote(dir / "sub"));
    ASSERT_TRUE(files.appendToFile(dir / "sub/log", "four\n").ok());
    runCommand("rm -rf " + shellQuote(dir / "sub"));
    EXPECT_FALSE(files.appendToFile(dir / "sub/log", "five\n").ok());
}

TEST_F(PosixFileSystemTest, LocationsFollowTheEnvironment) {
    const EnvironmentScope home("HOME", "/home/test");
    EnvironmentScope state("XDG_STATE_HOME", std::nullopt);
    EXPECT_EQ(files.homeDirectory(), "/home/test");
    EXPECT_EQ(files.logsDirectory(), "/home/test/.local/state");
    state.set("XDG_STATE_HOME", "relative/ignored");
    EXPECT_EQ(files.logsDirectory(), "/home/test/.local/state");
    state.set("XDG_STATE_HOME", "/state");
    EXPECT_EQ(files.logsDirectory(), "/state");
}

TEST_F(PosixFileSystemTest, AtomicWritesReplaceWholeFilesAndLinksButNeverWriteThroughThem) {
    const TempDir& work = dir;
    const std::string path = work / "file";
    ASSERT_TRUE(files.writeFileAtomically(path, "first").ok());
    EXPECT_EQ(
        modeOf(path), 0666 & ~[] {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            return static_cast<int>(mask);
        }());
    ASSERT_TRUE(files.writeFileAtomically(path, "second, longer").ok());
    EXPECT_EQ(readFile(path), "second, longer");

    writeFile(work / "target", "untouched");
    ASSERT_EQ(::symlink("target", (work / "link").c_str()), 0);
    ASSERT_TRUE(files.writeFileAtomically(work / "link", "new").ok());
    EXPECT_EQ(readFile(work / "target"), "untouched");
    EXPECT_EQ(readFile(work / "link"), "new");
    struct stat status {};
    ASSERT_EQ(::lstat((work / "link").c_str(), &status), 0);
    EXPECT_TRUE(S_ISREG(status.st_mode));

    const Status missing = files.writeFileAtomically(work / "no/such/file", "x");
    EXPECT_EQ(missing.error().kind, ErrorKind::notFound);
    ASSERT_EQ(::mkdir((work / "folder").c_str(), 0755), 0);
    EXPECT_FALSE(files.writeFileAtomically(work / "folder", "x").ok());
    EXPECT_THAT(sortedEntries(work.path()), ElementsAre("file", "folder", "link", "target"))
        << "no side file is left behind";
}

TEST(TemporaryDirectoryTest, TakesAnAbsoluteTmpdirElseTmp) {
    const PosixFileSystem files;
    {
        const EnvironmentScope tmpdir("TMPDIR", "/var/tmp/");
        EXPECT_EQ(files.temporaryDirectory(), "/var/tmp");
    }
    {
        const EnvironmentScope tmpdir("TMPDIR", "relative");
        EXPECT_EQ(files.temporaryDirectory(), "/tmp");
    }
    const EnvironmentScope tmpdir("TMPDIR", std::nullopt);
    EXPECT_EQ(files.temporaryDirectory(), "/tmp");
}

TEST(PosixErrorTest, MapsErrnoToKindsWithADescription) {
    using linux_platform::errorFromErrno;
    using linux_platform::errorKindForErrno;
    EXPECT_EQ(errorKindForErrno(ENOENT), ErrorKind::notFound);
    EXPECT_EQ(errorKindForErrno(EEXIST), ErrorKind::alreadyExists);
    EXPECT_EQ(errorKindForErrno(ENOTEMPTY), ErrorKind::alreadyExists);
    EXPECT_EQ(errorKindForErrno(EACCES), ErrorKind::permissionDenied);
    EXPECT_EQ(errorKindForErrno(EROFS), ErrorKind::permissionDenied);
    EXPECT_EQ(errorKindForErrno(ENOTDIR), ErrorKind::notADirectory);
    EXPECT_EQ(errorKindForErrno(ENOSPC), ErrorKind::noSpace);
    EXPECT_EQ(errorKindForErrno(EXDEV), ErrorKind::crossDevice);
    EXPECT_EQ(errorKindForErrno(EIO), ErrorKind::other);
    EXPECT_EQ(errorFromErrno(ENOENT, "a.txt").description.rfind("a.txt: ", 0), 0u);
}

TEST(RandomUuidSourceTest, CanonicalUpperCaseVersion4) {
    linux_platform::RandomUuidSource uuids;
    const std::string first = uuids.makeUuidString();
    EXPECT_THAT(first, MatchesRegex("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-"
                                    "[0-9A-F]{12}"));
    EXPECT_NE(first, uuids.makeUuidString());
}

// The creation operations over the real file system, in a real folder.
class RealCreationTest : public ::testing::Test {
  protected:
    TempDir dir;
    PosixFileSystem files;
    FixedClock clock;
    RecordingAlerts alerts;
    RecordingWorkspace workspace;
    linux_platform::RandomUuidSource uuids;
    ActivityLog log{files, clock, "QuentaApp.log"};
    MemoryPasteboard pasteboard;
    QuentaCreator creator{{files, alerts, workspace, uuids, log, pasteboard}};
};

TEST_F(RealCreationTest, ModesAreSetExplicitlyWhateverTheUmask) {
    const UmaskScope mask(077);
    creator.create(QuentaKind(FileKindId::shell), dir.path());
    creator.create(QuentaKind(FileKindId::python), dir.path());
    creator.create(QuentaKind(FileKindId::swift), dir.path());
    EXPECT_EQ(modeOf(dir / "新建Shell脚本.sh"), 0755);
    EXPECT_EQ(modeOf(dir / "新建Python.py"), 0755);
    EXPECT_EQ(modeOf(dir / "新建Swift.swift"), 0600);
    EXPECT_THAT(alerts.shown, IsEmpty());
}

TEST_F(RealCreationTest, DanglingLinksAndFoldersTakeNamesAndAreLeftAlone) {
    ASSERT_EQ(::symlink((dir / "outside").c_str(), (dir / "新建Markdown.md").c_str()), 0);
    ASSERT_EQ(::mkdir((dir / "新建Markdown 2.md").c_str(), 0755), 0);
    creator.create(QuentaKind(FileKindId::markdown), dir.path());
    creator.create(QuentaKind(FileKindId::markdown), dir.path());
    EXPECT_EQ(readFile(dir / "新建Markdown 3.md"), "# Untitled\n");
    EXPECT_EQ(readFile(dir / "新建Markdown 4.md"), "# Untitled\n");
    EXPECT_FALSE(files.itemExists(dir / "outside"));
    EXPECT_THAT(alerts.shown, IsEmpty());
    EXPECT_THAT(workspace.revealed, ElementsAre(ElementsAre(dir / "新建Markdown 3.md"),
                                                ElementsAre(dir / "新建Markdown 4.md")));
}

TEST_F(RealCreationTest, FullFolderGetsAUuidName) {
    ASSERT_EQ(::mkdir((dir / "新建文件夹").c_str(), 0755), 0);
    for (int n = 2; n <= 999; ++n) {
        ASSERT_EQ(::mkdir((dir / ("新建文件夹 " + std::to_string(n))).c_str(), 0755), 0);
    }
    creator.createFolder(dir.path());
    ASSERT_EQ(workspace.revealed.size(), 1u);
    EXPECT_THAT(workspace.revealed[0][0],
                MatchesRegex(".*/新建文件夹 [0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[0-9A-F]{4}-"
                             "[0-9A-F]{12}"));
    EXPECT_TRUE(files.isDirectory(workspace.revealed[0][0]));
}

TEST_F(RealCreationTest, MissingFolderShowsTheExactAlert) {
    creator.create(QuentaKind(FileKindId::markdown), dir / "gone");
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].message, "创建文件失败：" +
                                           linux_platform::errorFromErrno(ENOENT).description +
                                           "\n\n目录：" + (dir / "gone"));
}

}  // namespace
}  // namespace quenta::testing
