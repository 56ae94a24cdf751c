// The built quenta-finder host end to end with the real quentaapp, in a private HOME without a
// display: the menu, commands reaching the application, cut in one process and paste in another.
#include "adapters/linux/posix/pasteboard_store.hpp"
#include "support/temp_dir.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quenta::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class QuentaFinderTest : public ::testing::Test {
  protected:
    QuentaFinderTest() {
        runCommand("mkdir -p " + shellQuote(home / ".local/state") + " " +
                   shellQuote(home / "runtime") + " " + shellQuote(home / "Desktop") +
                   " && chmod 700 " + shellQuote(home / "runtime"));
    }

    CommandResult finder(const std::string& arguments) {
        return runCommand(
            "env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_STATE_HOME -u XDG_CONFIG_HOME "
            "-u XDG_DATA_HOME HOME=" +
            shellQuote(home.path()) + " XDG_RUNTIME_DIR=" + shellQuote(home / "runtime") + " " +
            shellQuote(QUENTA_BIN_DIR "/quenta-finder") + " " + arguments + " </dev/null");
    }
    std::string extensionLog() { return readFile(home / ".local/state/QuentaFinderExtension.log"); }

    TempDir home;
    TempDir work;
};

TEST_F(QuentaFinderTest, CreateWithOneSelectedFolderLandsInsideIt) {
    // Every character the request codec must carry: blanks, & = + % # ?, a newline, Chinese.
    const std::string folder = work / "a b&c=d+e%f#g?h\n中文";
    runCommand("mkdir " + shellQuote(folder));
    const auto result = finder("--targeted " + shellQuote(work.path()) + " --selected " +
                               shellQuote(folder) + " invoke createMarkdown");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(readFile(folder + "/新建Markdown.md"), "# Untitled\n");
    EXPECT_THAT(extensionLog(), HasSubstr("] main app open request sent\n"));
}

TEST_F(QuentaFinderTest, CutInOneProcessThenPasteInAnotherMovesAndClears) {
    runCommand("mkdir " + shellQuote(work / "from") + " " + shellQuote(work / "to") + " && touch " +
               shellQuote(work / "from/one") + " " + shellQuote(work / "from/two"));
    const auto before = finder("--targeted " + shellQuote(work / "from") + " menu");
    EXPECT_THAT(before.out, HasSubstr("粘贴到此处  -> pasteCutItems (disabled)"));

    // The selection as --selected, then as trailing arguments after the selector.
    const auto cut = finder("--targeted " + shellQuote(work / "from") + " --selected " +
                            shellQuote(work / "from/one") + " invoke cutItems -- " +
                            shellQuote(work / "from/two"));
    ASSERT_EQ(cut.status, 0) << cut.err;
    const auto ready = finder("--targeted " + shellQuote(work / "to") + " menu");
    EXPECT_THAT(ready.out, HasSubstr("粘贴到此处  -> pasteCutItems\n"));

    const auto paste = finder("--targeted " + shellQuote(work / "to") + " invoke pasteCutItems");
    ASSERT_EQ(paste.status, 0) << paste.err;
    EXPECT_EQ(runCommand("ls " + shellQuote(work / "to")).out, "one\ntwo\n");
    EXPECT_EQ(runCommand("ls " + shellQuote(work / "from")).out, "");
    const auto after = finder("--targeted " + shellQuote(work / "to") + " menu");
    EXPECT_THAT(after.out, HasSubstr("粘贴到此处  -> pasteCutItems (disabled)"));
}

TEST_F(QuentaFinderTest, TwentyConcurrentCutsLeaveBothEntriesFromOneCut) {
    const linux_platform::PasteboardStore store(home / "runtime/quenta-pasteboard");
    for (int round = 0; round < 3; ++round) {
        std::string cuts;
        for (int i = 0; i < 20; ++i) {
            cuts += "env -u DISPLAY -u WAYLAND_DISPLAY HOME=" + shellQuote(home.path()) +
                    " XDG_RUNTIME_DIR=" + shellQuote(home / "runtime") + " " +
                    shellQuote(QUENTA_BIN_DIR "/quenta-finder") + " --selected /cut/" +
                    std::to_string(i) + "/a --selected /cut/" + std::to_string(i) +
                    "/b invoke cutItems </dev/null >/dev/null & ";
        }
        ASSERT_EQ(runCommand(cuts + "wait").status, 0);
        const auto cut = store.stringForType("com.local.QuentaApp.cutPaths");
        ASSERT_TRUE(cut.has_value());
        EXPECT_EQ(store.stringForType(Pasteboard::kPlainTextType), cut) << "round " << round;
    }
}

TEST_F(QuentaFinderTest, ACutTheStoreRefusesIsReportedNotLoggedAsDone) {
    TempDir elsewhere;
    runCommand("ln -s " + shellQuote(elsewhere.path()) + " " +
               shellQuote(home / "runtime/quenta-pasteboard"));
    const auto cut = finder("--selected " + shellQuote(work / "a") + " invoke cutItems");
    EXPECT_EQ(cut.status, 1);
    EXPECT_THAT(cut.err, HasSubstr("is not a folder of this user's own"));
    EXPECT_THAT(extensionLog(), HasSubstr("] cut failed: the pasteboard store " + home.path() +
                                          "/runtime/quenta-pasteboard is not a folder of this "
                                          "user's own\n"));
    EXPECT_THAT(extensionLog(), Not(HasSubstr("cut paths")));
    EXPECT_EQ(runCommand("ls -A " + shellQuote(elsewhere.path())).out, "");
}

TEST_F(QuentaFinderTest, DisabledAndAbsentItemsAreRefused) {
    const auto trash = finder("--targeted " + shellQuote(work.path()) + " invoke trashItems");
    EXPECT_EQ(trash.status, 1);
    EXPECT_THAT(trash.err, HasSubstr("disabled"));
    EXPECT_EQ(finder("invoke fly").status, 1);
    EXPECT_EQ(finder("menu --kind nonsense").status, 2);
    EXPECT_EQ(finder("--targeted relative menu").status, 2);
    EXPECT_EQ(finder("invoke cutItems -- /a relative").status, 2);
    EXPECT_EQ(finder("").status, 2);
}

TEST_F(QuentaFinderTest, ToolbarAndCopyPathWithTheDesktopAsLastResort) {
    const auto toolbar = finder("toolbar");
    EXPECT_EQ(toolbar.out, "name: Lumvik\ntool tip: 在当前位置新建文件\nicon: document-new\n");
    ASSERT_EQ(finder("invoke copyPath").status, 0);
    EXPECT_THAT(extensionLog(), HasSubstr("] copied paths: [\"" + (home / "Desktop") + "\"]\n"));
}

TEST_F(QuentaFinderTest, TrashOfThreeSelectedItemsAndCopyPathEndsAPendingCut) {
    runCommand("touch " + shellQuote(work / "a") + " " + shellQuote(work / "b b") + " " +
               shellQuote(work / "c%d"));
    const std::string selection = " --selected " + shellQuote(work / "a") + " --selected " +
                                  shellQuote(work / "b b") + " --selected " +
                                  shellQuote(work / "c%d");
    ASSERT_EQ(
        finder("--targeted " + shellQuote(work.path()) + selection + " invoke cutItems").status, 0);
    const auto trash =
        runCommand("env -u DISPLAY -u WAYLAND_DISPLAY HOME=" + shellQuote(home.path()) +
                   " XDG_DATA_HOME=" + shellQuote(home / "data") +
                   " XDG_RUNTIME_DIR=" + shellQuote(home / "runtime") + " " +
                   shellQuote(QUENTA_BIN_DIR "/quenta-finder") + " --targeted " +
                   shellQuote(work.path()) + selection + " invoke trashItems </dev/null");
    ASSERT_EQ(trash.status, 0) << trash.err;
    EXPECT_EQ(runCommand("ls -A " + shellQuote(work.path())).out, "");
    EXPECT_EQ(runCommand("ls " + shellQuote(home / "data/Trash/files")).out, "a\nb b\nc%d\n");

    ASSERT_EQ(finder("--selected " + shellQuote(work.path()) + " invoke copyPath").status, 0);
    EXPECT_THAT(finder("--targeted " + shellQuote(work.path()) + " menu").out,
                HasSubstr("粘贴到此处  -> pasteCutItems (disabled)"));
}

}  // namespace
}  // namespace quenta::testing
