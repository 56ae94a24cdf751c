// The freedesktop.org Trash for real, under a private XDG_DATA_HOME, read back by the peers
// trash-list (trash-cli) and gio trash --list (GLib with gvfs).
#include "adapters/linux/posix/trash_posix.hpp"

#include "adapters/linux/posix/file_system_posix.hpp"
#include "adapters/linux/posix/posix_error.hpp"
#include "support/environment_scope.hpp"
#include "support/temp_dir.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>

namespace quenta::testing {
namespace {

using linux_platform::encodedTrashPath;
using linux_platform::PosixFileSystem;
using linux_platform::PosixTrash;
using linux_platform::topDirectoryTrash;
using linux_platform::TrashFaults;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;

std::vector<std::string> entries(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool exists(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

class TrashTest : public ::testing::Test {
  protected:
    TrashTest() {
        environment.set("HOME", root / "home");
        environment.set("XDG_DATA_HOME", data());
        environment.set("XDG_STATE_HOME", root / "state");
        runCommand("mkdir -p " + shellQuote(root / "home") + " " + shellQuote(root / "work"));
    }

    [[nodiscard]] std::string data() const { return root / "data"; }
    [[nodiscard]] std::string trash() const { return root / "data/Trash"; }
    [[nodiscard]] std::string work(const std::string& name) const {
        return root / ("work/" + name);
    }

    // What a peer tool prints for this user's trashes, run with the same private folders.
    [[nodiscard]] CommandResult peer(const std::string& command) const {
        return runCommand("cd / && env HOME=" + shellQuote(root / "home") +
                          " XDG_DATA_HOME=" + shellQuote(data()) + " " + command);
    }
    [[nodiscard]] CommandResult gioList() const {
        return peer("dbus-run-session -- gio trash --list 2>/dev/null");
    }

    std::string item(const std::string& name, const std::string& contents = "x") const {
        const std::string path = work(name);
        writeFile(path, contents);
        return path;
    }

    TempDir root;
    EnvironmentScope environment;
    PosixFileSystem files;
};

// "YYYY-MM-DDThh:mm:ss" of the local time, as seconds since the epoch.
std::time_t parsedLocalDate(const std::string& text) {
    std::tm local{};
    local.tm_isdst = -1;
    if (::strptime(text.c_str(), "%Y-%m-%dT%H:%M:%S", &local) == nullptr) {
        return 0;
    }
    return std::mktime(&local);
}

TEST_F(TrashTest, HomeTrashIsMadeOwnerOnlyAndPeersReadTheOriginalPathAndDate) {
    const std::string name = "a b%#?é\xff.txt";
    const std::string path = item(name, "contents");
    const std::time_t before = std::time(nullptr);
    const Status trashed = files.trashItem(path);
    ASSERT_TRUE(trashed.ok()) << trashed.error().description;
    const std::time_t after = std::time(nullptr);

    EXPECT_FALSE(exists(path));
    EXPECT_EQ(modeOf(trash()), 0700);
    EXPECT_EQ(modeOf(trash() + "/files"), 0700);
    EXPECT_EQ(modeOf(trash() + "/info"), 0700);
    EXPECT_EQ(readFile(trash() + "/files/" + name), "contents");

    const std::string info = readFile(trash() + "/info/" + name + ".trashinfo");
    const std::string expectedStart =
        "[Trash Info]\nPath=" + root.path() + "/work/a%20b%25%23%3F%C3%A9%FF.txt\nDeletionDate=";
    ASSERT_EQ(info.substr(0, expectedStart.size()), expectedStart);
    const std::string date = info.substr(expectedStart.size());
    EXPECT_THAT(date, MatchesRegex("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\n"));
    const std::time_t deleted = parsedLocalDate(date);
    EXPECT_GE(deleted, before);
    EXPECT_LE(deleted, after);

    const std::string shownDate = date.substr(0, 10) + " " + date.substr(11, 8);
    const auto listed = peer("trash-list");
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_THAT(listed.out, HasSubstr(shownDate + " " + root.path() + "/work/a b%#?é"));

    const auto gio = gioList();
    if (gio.out.empty()) {
        GTEST_SKIP() << "gio trash --list needs gvfs (package gvfs) and a session bus";
    }
    // gio prints every byte outside ASCII escaped.
    EXPECT_THAT(gio.out, HasSubstr("\t" + root.path() + "/work/a b%#?\\xc3\\xa9\\xff.txt\n"));
}

TEST_F(TrashTest, PeersRestoreWhatWasTrashedToItsOriginalPlace) {
    // A folder tree, restored by trash-cli's trash-restore (it asks which item, on stdin).
    runCommand("mkdir -p " + shellQuote(work("tree b%/sub")) + " && printf deep > " +
               shellQuote(work("tree b%/sub/leaf 中.txt")));
    // A file beside it, restored by gio through the trash:/// location of its entry.
    const std::string file = item("note c#.txt", "note");
    const auto outcomes = files.trashItems({work("tree b%"), file});
    ASSERT_EQ(outcomes.size(), 2U);
    ASSERT_TRUE(outcomes[0].ok()) << outcomes[0].error().description;
    ASSERT_TRUE(outcomes[1].ok()) << outcomes[1].error().description;
    ASSERT_FALSE(exists(work("tree b%")));
    ASSERT_FALSE(exists(file));

    const auto restored =
        peer("sh -c " + shellQuote("echo 0 | trash-restore " + shellQuote(work("tree b%"))));
    EXPECT_EQ(restored.status, 0) << restored.out << restored.err;
    EXPECT_EQ(readFile(work("tree b%/sub/leaf 中.txt")), "deep");
    EXPECT_FALSE(exists(trash() + "/info/tree b%.trashinfo"));

    const auto listed = gioList();
    if (listed.out.empty()) {
        GTEST_SKIP() << "gio trash needs gvfs (package gvfs) and a session bus";
    }
    const auto gio =
        peer("dbus-run-session -- gio trash --restore " + shellQuote("trash:///note%20c%23.txt"));
    EXPECT_EQ(gio.status, 0) << gio.err;
    EXPECT_EQ(readFile(file), "note");
    EXPECT_THAT(entries(trash() + "/files"), IsEmpty());
}

TEST_F(TrashTest, CollisionsGetFreshNamesAndLeftoversAreNeverTouched) {
    // An item left in files/ without its info file, and an info file without its item.
    runCommand("mkdir -p " + shellQuote(trash() + "/files") + " " + shellQuote(trash() + "/info"));
    writeFile(trash() + "/files/report.txt", "leftover");
    writeFile(trash() + "/info/report.txt.2.trashinfo", "[Trash Info]\nPath=/elsewhere\n");
    runCommand("mkdir -p " + shellQuote(work("a")) + " " + shellQuote(work("b")) + " " +
               shellQuote(work("c")));

    const auto outcomes = files.trashItems({item("a/report.txt", "A"), item("b/report.txt", "B")});
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_TRUE(outcomes[0].ok() && outcomes[1].ok());
    ASSERT_TRUE(files.trashItem(item("c/report.txt", "C")).ok());

    EXPECT_EQ(readFile(trash() + "/files/report.txt"), "leftover");
    EXPECT_EQ(readFile(trash() + "/info/report.txt.2.trashinfo"),
              "[Trash Info]\nPath=/elsewhere\n");
    EXPECT_EQ(readFile(trash() + "/files/report.txt.3"), "A");
    EXPECT_EQ(readFile(trash() + "/files/report.txt.4"), "B");
    EXPECT_EQ(readFile(trash() + "/files/report.txt.5"), "C");
    EXPECT_THAT(readFile(trash() + "/info/report.txt.4.trashinfo"),
                HasSubstr("\nPath=" + work("b/report.txt") + "\n"));

    const auto listed = peer("trash-list");
    for (const char* folder : {"a", "b", "c"}) {
        EXPECT_THAT(listed.out, HasSubstr(" " + work(std::string(folder) + "/report.txt") + "\n"));
    }
}

TEST_F(TrashTest, SymbolicLinkedTrashFoldersAreRefusedAndTheItemStays) {
    runCommand("mkdir -p " + shellQuote(trash() + "/files") + " " + shellQuote(root / "elsewhere"));
    ASSERT_EQ(::symlink((root / "elsewhere").c_str(), (trash() + "/info").c_str()), 0);
    const std::string path = item("kept.txt");
    const Status linkedInfo = files.trashItem(path);
    ASSERT_FALSE(linkedInfo.ok());
    EXPECT_THAT(linkedInfo.error().description, HasSubstr("is a symbolic link"));
    EXPECT_THAT(linkedInfo.error().description, HasSubstr(trash() + "/info"));
    EXPECT_TRUE(exists(path));
    EXPECT_THAT(entries(root / "elsewhere"), IsEmpty());
    EXPECT_THAT(entries(trash() + "/files"), IsEmpty());

    ::unlink((trash() + "/info").c_str());
    ::rmdir((trash() + "/files").c_str());
    ASSERT_EQ(::symlink((root / "elsewhere").c_str(), (trash() + "/files").c_str()), 0);
    EXPECT_FALSE(files.trashItem(path).ok());
    EXPECT_TRUE(exists(path));
    EXPECT_THAT(entries(root / "elsewhere"), IsEmpty());
    EXPECT_THAT(entries(trash() + "/info"), IsEmpty());
}

TEST_F(TrashTest, TheTrashWhatIsInItWhatHoldsItAndMissingItemsAreRefused) {
    ASSERT_TRUE(files.trashItem(item("first")).ok());
    const std::vector<std::string> refused = {trash(),
                                              trash() + "/files",
                                              trash() + "/files/first",
                                              trash() + "/info/first.trashinfo",
                                              data(),
                                              root.path(),
                                              "/"};
    for (const auto& path : refused) {
        const Status outcome = files.trashItem(path);
        ASSERT_FALSE(outcome.ok()) << path;
        EXPECT_EQ(outcome.error().kind, ErrorKind::invalidArgument) << path;
        EXPECT_THAT(outcome.error().description, HasSubstr("Trash")) << path;
    }
    EXPECT_THAT(entries(trash() + "/files"), ElementsAre("first"));
    EXPECT_THAT(entries(trash() + "/info"), ElementsAre("first.trashinfo"));

    const Status missing = files.trashItem(work("missing"));
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().kind, ErrorKind::notFound);
    EXPECT_EQ(missing.error().description, linux_platform::errorFromErrno(ENOENT).description);
    const Status missingFolder = files.trashItem(work("no/such/item"));
    EXPECT_EQ(missingFolder.error().kind, ErrorKind::notFound);
}

TEST_F(TrashTest, AFailureAfterTheInfoFileWasWrittenRemovesIt) {
    const std::string failing = item("failing");
    TrashFaults faults;
    faults.move = [&](const std::string& path) { return path == failing ? EIO : 0; };
    const PosixTrash faulty(faults);

    const auto outcomes = faulty.trash({item("before"), failing, item("after")});
    ASSERT_EQ(outcomes.size(), 3u);
    EXPECT_TRUE(outcomes[0].ok());
    EXPECT_EQ(outcomes[1].error().description, linux_platform::errorFromErrno(EIO).description);
    EXPECT_TRUE(outcomes[2].ok());
    EXPECT_TRUE(exists(failing));
    EXPECT_THAT(entries(trash() + "/files"), ElementsAre("after", "before"));
    EXPECT_THAT(entries(trash() + "/info"), ElementsAre("after.trashinfo", "before.trashinfo"));

    EXPECT_FALSE(faulty.trash({failing}).front().ok());
    EXPECT_THAT(entries(trash() + "/info"), ElementsAre("after.trashinfo", "before.trashinfo"));

    TrashFaults full;
    full.writeInfo = [](const std::string&) { return ENOSPC; };
    const Status noSpace = PosixTrash(full).trash({failing}).front();
    EXPECT_EQ(noSpace.error().kind, ErrorKind::noSpace);
    EXPECT_TRUE(exists(failing)) << "an item whose info file could not be written never moves";
    EXPECT_THAT(entries(trash() + "/info"), ElementsAre("after.trashinfo", "before.trashinfo"));
}

// The info files in the home trash whose item is not in files/.
std::vector<std::string> loneInfoFiles(const std::string& trash) {
    std::vector<std::string> lone;
    for (const auto& name : entries(trash + "/info")) {
        if (!exists(trash + "/files/" + name.substr(0, name.size() - 10))) {
            lone.push_back(name);
        }
    }
    return lone;
}

// Runs the trash in a child process that stops itself with `signal` when `step` (writeInfo or
// move) is reached for the item with the given number; waits until the child is killed or stopped.
pid_t trashUntil(const std::vector<std::string>& paths, const std::string& step, int item,
                 int signal) {
    const pid_t child = ::fork();
    if (child == 0) {
        int reached = 0;
        const auto hook = [&](const std::string&) {
            if (reached++ == item) {
                ::raise(signal);
            }
            return 0;
        };
        TrashFaults faults;
        (step == "writeInfo" ? faults.writeInfo : faults.move) = hook;
        ignoreResult(PosixTrash(faults).trash(paths), "the parent looks at the trash");
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, WUNTRACED);
    EXPECT_TRUE(WIFSIGNALED(status) || WIFSTOPPED(status)) << step << " " << item;
    return child;
}

TEST_F(TrashTest, ATrashKilledAtAnyStepLeavesFewLoneInfoFilesAndTheNextTrashRemovesThem) {
    runCommand("mkdir -p " + shellQuote(trash() + "/info") + " " + shellQuote(trash() + "/files"));
    // Another program's record whose item is about to move: never ours to remove.
    writeFile(trash() + "/info/foreign.trashinfo", "[Trash Info]\nPath=/w/foreign\n");
    const struct {
        std::string step;
        int item;
    } steps[] = {{"writeInfo", 0}, {"writeInfo", 100}, {"move", 0}, {"move", 130}};
    std::size_t total = 0;
    for (const auto& step : steps) {
        std::vector<std::string> paths;
        for (int i = 0; i < 200; ++i) {
            paths.push_back(item(step.step + std::to_string(step.item) + "-" + std::to_string(i)));
        }
        total += paths.size();
        trashUntil(paths, step.step, step.item, SIGKILL);
        EXPECT_LE(loneInfoFiles(trash()).size(), 1u + 64u) << step.step << " " << step.item;
    }
    ASSERT_TRUE(PosixTrash().trash({item("next")}).front().ok());
    EXPECT_THAT(loneInfoFiles(trash()), ElementsAre("foreign.trashinfo"));
    EXPECT_EQ(entries(trash() + "/files").size() + entries(root / "work").size(), total + 1);
}

TEST_F(TrashTest, ARunningTrashKeepsItsRecordsAndAnUnremovableOneGoesAtTheNextTrash) {
    TrashFaults stuck;
    stuck.move = [](const std::string&) { return EIO; };
    stuck.removeInfo = [](const std::string&) { return EACCES; };
    EXPECT_FALSE(PosixTrash(stuck).trash({item("stuck")}).front().ok());
    EXPECT_THAT(loneInfoFiles(trash()), ElementsAre("stuck.trashinfo"));

    const pid_t running = trashUntil({item("paused")}, "move", 0, SIGSTOP);
    ASSERT_TRUE(PosixTrash().trash({item("other")}).front().ok());
    EXPECT_THAT(loneInfoFiles(trash()), ElementsAre("paused.trashinfo"));
    ::kill(running, SIGKILL);
    ::waitpid(running, nullptr, 0);

    // Asked to stop after the first item: the rest stays where it is, unrecorded.
    struct StopAfterFirst : StopRequest {
        mutable int asked = 0;
        [[nodiscard]] bool stopRequested() const override { return asked++ > 0; }
    } stop;
    const auto outcomes = PosixTrash().trash({item("first"), item("second")}, &stop);
    EXPECT_TRUE(outcomes[0].ok());
    EXPECT_EQ(outcomes[1].error().kind, ErrorKind::cancelled);
    EXPECT_TRUE(exists(work("second")));
    EXPECT_THAT(loneInfoFiles(trash()), IsEmpty());
    EXPECT_THAT(entries(trash() + "/files"), ElementsAre("first", "other"));
}

TEST_F(TrashTest, LongNamesFolderTreesAndLinksMoveWhole) {
    std::string longName;
    for (int i = 0; i < 85; ++i) {
        longName += "文";  // 255 bytes: the info file's name must be shortened
    }
    const std::string longItem = item(longName, "long");
    runCommand("mkdir -p " + shellQuote(work("tree/sub")) + " && echo deep > " +
               shellQuote(work("tree/sub/deep")));
    ASSERT_EQ(::symlink("tree/sub", work("link").c_str()), 0);

    const auto outcomes = files.trashItems({longItem, work("tree"), work("link")});
    for (const auto& outcome : outcomes) {
        EXPECT_TRUE(outcome.ok()) << outcome.error().description;
    }
    const auto trashed = entries(trash() + "/files");
    ASSERT_EQ(trashed.size(), 3u);
    const std::string& shortened = trashed[2];
    EXPECT_LE(shortened.size() + 10, 255u);
    EXPECT_EQ(shortened.size() % 3, 0u) << "cut at a character boundary";
    EXPECT_EQ(readFile(trash() + "/files/" + shortened), "long");
    EXPECT_THAT(readFile(trash() + "/info/" + shortened + ".trashinfo"),
                HasSubstr("Path=" + encodedTrashPath(longItem) + "\n"));
    EXPECT_EQ(readFile(trash() + "/files/tree/sub/deep"), "deep\n");
    std::error_code error;
    EXPECT_EQ(std::filesystem::read_symlink(trash() + "/files/link", error), "tree/sub");
    EXPECT_THAT(peer("trash-list").out, HasSubstr(" " + longItem + "\n"));
}

TEST_F(TrashTest, ADataHomeOnAnotherFilesystemHoldsTheTrashForItsOwnItems) {
    struct stat shm {};
    struct stat here {};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(root.path().c_str(), &here) != 0 ||
        shm.st_dev == here.st_dev) {
        GTEST_SKIP() << "/dev/shm is not a second filesystem here";
    }
    const TempDir second("/dev/shm");
    environment.set("XDG_DATA_HOME", second / "data");
    writeFile(second / "item", "on tmpfs");
    ASSERT_TRUE(files.trashItem(second / "item").ok());
    EXPECT_EQ(readFile(second / "data/Trash/files/item"), "on tmpfs");
    EXPECT_THAT(readFile(second / "data/Trash/info/item.trashinfo"),
                HasSubstr("\nPath=" + second.path() + "/item\n"));
}

// The top directory's trash of /dev/shm: a second filesystem shared by the whole machine, so only
// this test's own entries are removed afterwards (and .Trash-$uid only when it made it).
TEST_F(TrashTest, ItemsOnAnotherFilesystemGoToItsTopDirectoryTrash) {
    struct stat shm {};
    struct stat here {};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(root.path().c_str(), &here) != 0 ||
        shm.st_dev == here.st_dev) {
        GTEST_SKIP() << "/dev/shm is not a second filesystem here";
    }
    if (exists("/dev/shm/.Trash")) {
        GTEST_SKIP() << "/dev/shm/.Trash belongs to someone else";
    }
    const std::string topTrash = "/dev/shm/.Trash-" + std::to_string(::geteuid());
    const bool madeHere = !exists(topTrash);
    const TempDir second("/dev/shm");
    const std::string folder = second.path().substr(std::string("/dev/shm/").size());
    writeFile(second / "x y.txt", "on tmpfs");

    const Status outcome = files.trashItem(second / "x y.txt");
    const std::string name = "x y.txt";
    const std::string info = readFile(topTrash + "/info/" + name + ".trashinfo");
    const std::string contents = readFile(topTrash + "/files/" + name);
    const auto listed = peer("trash-list");
    ::unlink((topTrash + "/files/" + name).c_str());
    ::unlink((topTrash + "/info/" + name + ".trashinfo").c_str());
    if (madeHere) {
        std::error_code ignored;
        std::filesystem::remove_all(topTrash, ignored);
    }

    ASSERT_TRUE(outcome.ok()) << outcome.error().description;
    EXPECT_FALSE(exists(second / "x y.txt"));
    EXPECT_EQ(contents, "on tmpfs");
    EXPECT_THAT(info, MatchesRegex("\\[Trash Info\\]\nPath=" + folder +
                                   "/x%20y.txt\nDeletionDate=[-0-9T:]{19}\n"));
    EXPECT_THAT(listed.out, HasSubstr(" " + second.path() + "/x y.txt\n"));
    EXPECT_THAT(entries(trash() + "/files"), IsEmpty()) << "nothing went to the home trash";
}

TEST(TopDirectoryTrashTest, TheSharedTrashOnlyWhenStickyRealAndTheUsersOwn) {
    const uid_t me = ::geteuid();
    const std::string mine = std::to_string(me);
    const auto chosen = [&](const TempDir& top) {
        const auto trash = topDirectoryTrash(top.path(), me);
        return trash ? trash.value() : "refused: " + trash.error().description;
    };

    const TempDir none;
    EXPECT_EQ(chosen(none), none / (".Trash-" + mine));
    EXPECT_EQ(modeOf(none / (".Trash-" + mine)), 0700);

    const TempDir sticky;
    runCommand("mkdir -m 1777 " + shellQuote(sticky / ".Trash"));
    EXPECT_EQ(chosen(sticky), sticky / (".Trash/" + mine));
    EXPECT_FALSE(exists(sticky / (".Trash-" + mine)));

    const TempDir notSticky;
    runCommand("mkdir -m 0777 " + shellQuote(notSticky / ".Trash") + " " +
               shellQuote(notSticky / (".Trash/" + mine)));
    EXPECT_EQ(chosen(notSticky), notSticky / (".Trash-" + mine));

    const TempDir linked;
    runCommand("mkdir -m 1777 " + shellQuote(linked / "real") + " && ln -s real " +
               shellQuote(linked / ".Trash"));
    EXPECT_EQ(chosen(linked), linked / (".Trash-" + mine));
    EXPECT_FALSE(exists(linked / ("real/" + mine)));

    const TempDir linkedUser;
    runCommand("mkdir -m 1777 " + shellQuote(linkedUser / ".Trash") + " && mkdir " +
               shellQuote(linkedUser / "x") + " && ln -s ../x " +
               shellQuote(linkedUser / (".Trash/" + mine)));
    EXPECT_EQ(chosen(linkedUser), linkedUser / (".Trash-" + mine));

    const TempDir linkedOwn;
    runCommand("mkdir " + shellQuote(linkedOwn / "x") + " && ln -s x " +
               shellQuote(linkedOwn / (".Trash-" + mine)));
    EXPECT_THAT(chosen(linkedOwn), MatchesRegex("refused: No Trash can be used on the filesystem "
                                                "mounted at .*symbolic link.*"));

    if (me != 0) {
        return;  // the cases below need folders owned by another user
    }
    const TempDir foreign;
    runCommand("mkdir -m 1777 " + shellQuote(foreign / ".Trash") + " && mkdir " +
               shellQuote(foreign / ".Trash/0") + " " + shellQuote(foreign / ".Trash-0") +
               " && chown 65534 " + shellQuote(foreign / ".Trash/0") + " " +
               shellQuote(foreign / ".Trash-0"));
    EXPECT_THAT(chosen(foreign), HasSubstr("belongs to another user"));
}

TEST(EncodedTrashPathTest, OnlyUnreservedBytesAndSlashesStayAsTheyAre) {
    EXPECT_EQ(encodedTrashPath("/home/ann/My Notes/a%b.txt"), "/home/ann/My%20Notes/a%25b.txt");
    EXPECT_EQ(encodedTrashPath("/a-b_c.d~e/AZaz09"), "/a-b_c.d~e/AZaz09");
    EXPECT_EQ(encodedTrashPath("#?&=+:;@\"'\\\n"), "%23%3F%26%3D%2B%3A%3B%40%22%27%5C%0A");
    EXPECT_EQ(encodedTrashPath("中\xff"), "%E4%B8%AD%FF");
    EXPECT_EQ(encodedTrashPath("rel/x"), "rel/x");
}

}  // namespace
}  // namespace quenta::testing
