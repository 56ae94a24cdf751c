// The built quenta-finder host end to end with the real quentaapp, in a private HOME without a
// display: the menu, commands reaching the application, cut in one process and paste in another.
#include "adapters/linux/posix/pasteboard_store.hpp"
#include "support/temp_dir.hpp"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

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

TEST_F(QuentaFinderTest, UnderAnEnglishLocaleMenuAlertsAndNamesAreEnglishAndTheLogIsNot) {
    ASSERT_EQ(runCommand("locale -a | grep -qx en_US.utf8").status, 0)
        << "the locale en_US.UTF-8 is missing: run scripts/setup";
    const std::string english =
        "env -u LC_ALL -u LC_MESSAGES -u LANGUAGE -u DISPLAY -u WAYLAND_DISPLAY -u XDG_STATE_HOME "
        "LANG=en_US.UTF-8 HOME=" +
        shellQuote(home.path()) + " XDG_RUNTIME_DIR=" + shellQuote(home / "runtime") + " ";

    const auto menu = runCommand(english + shellQuote(QUENTA_BIN_DIR "/quenta-finder") +
                                 " --targeted " + shellQuote(work.path()) + " menu </dev/null");
    ASSERT_EQ(menu.status, 0) << menu.err;
    for (const char* title :
         {"New Folder  -> createFolder", "Text Documents", "Markdown (.md)  -> createMarkdown",
          "Shell Script (.sh)  -> createShell", "Cut  -> cutItems (disabled)",
          "Paste Here  -> pasteCutItems (disabled)", "Move to Trash  -> trashItems (disabled)",
          "Copy Path  -> copyPath", "Open in Terminal  -> openTerminal"}) {
        EXPECT_THAT(menu.out, HasSubstr(title));
    }
    // Every title translated: nothing but ASCII is left.
    EXPECT_EQ(std::count_if(menu.out.begin(), menu.out.end(), [](char c) { return c & 0x80; }), 0)
        << menu.out;

    // An alert composed of translated parts around the system's description and a folder; the
    // log stays as it is in every language.
    const std::string missing = work / "missing";
    const auto app = runCommand(
        english + shellQuote(QUENTA_BIN_DIR "/quentaapp") + " " +
        shellQuote("quentaapp://create?type=markdown&path=" + missing) + " " +
        shellQuote("quentaapp://create?type=markdown&path=" + work.path()) + " </dev/null");
    EXPECT_EQ(app.status, 1);
    EXPECT_EQ(app.err,
              "Lumvik Right-Click\nThe file could not be created: No such file "
              "or directory\n\nFolder: " +
                  missing + "\n\n");
    EXPECT_EQ(app.out, work / "New Markdown.md" + "\n");
    EXPECT_THAT(readFile(home / ".local/state/QuentaApp.log"),
                HasSubstr("] failed No such file or directory\n"));
}

// New items are named in the interface's language, free names numbered the same way; the Chinese
// names stand in the Chinese and untranslated interfaces.
TEST_F(QuentaFinderTest, NewItemsAreNamedInTheInterfacesLanguage) {
    struct Case {
        const char* language;  // LANGUAGE under the English locale; "C": LANG=C, no catalogue
        const char* file;
        const char* numbered;
        const char* folder;
    };
    for (const Case& c : {
             Case{"en", "New Text Document.txt", "New Text Document 2.txt", "New Folder"},
             Case{"zh_CN", "新建文本文档.txt", "新建文本文档 2.txt", "新建文件夹"},
             Case{"zh_TW", "新增文字文件.txt", "新增文字文件 2.txt", "新增資料夾"},
             Case{"C", "新建文本文档.txt", "新建文本文档 2.txt", "新建文件夹"},
         }) {
        SCOPED_TRACE(c.language);
        const TempDir folder;
        const std::string locale =
            std::string(c.language) == "C"
                ? "LANG=C "
                : "LANG=en_US.UTF-8 LANGUAGE=" + std::string(c.language) + " ";
        const std::string create = "quentaapp://create?type=plainText&path=" + folder.path();
        const auto app = runCommand(
            "env -u LC_ALL -u LC_MESSAGES -u DISPLAY -u WAYLAND_DISPLAY -u XDG_STATE_HOME " +
            locale + "HOME=" + shellQuote(home.path()) + " " +
            shellQuote(QUENTA_BIN_DIR "/quentaapp") + " " + shellQuote(create) + " " +
            shellQuote(create) + " " + shellQuote("quentaapp://folder?path=" + folder.path()) +
            " </dev/null");
        ASSERT_EQ(app.status, 0) << app.err;
        EXPECT_EQ(app.out,
                  folder / c.file + "\n" + folder / c.numbered + "\n" + folder / c.folder + "\n");
    }
}

// In every catalogue the entries of one menu read differently from each other.
TEST_F(QuentaFinderTest, NoTwoEntriesOfAMenuReadTheSameInAnyLanguage) {
    const auto languages = runCommand("ls " + shellQuote(QUENTA_LOCALE_DIR));
    ASSERT_EQ(languages.status, 0);
    std::istringstream names("C\n" + languages.out);
    std::string language;
    int checked = 0;
    while (std::getline(names, language)) {
        SCOPED_TRACE(language);
        const auto menu = runCommand(
            "env -u LC_ALL -u LC_MESSAGES -u DISPLAY -u WAYLAND_DISPLAY LANG=en_US.UTF-8 "
            "LANGUAGE=" +
            language + " HOME=" + shellQuote(home.path()) + " " +
            shellQuote(QUENTA_BIN_DIR "/quenta-finder") + " --targeted " + shellQuote(work.path()) +
            " menu </dev/null");
        ASSERT_EQ(menu.status, 0) << menu.err;
        // The titles seen so far at each depth of the menu being read.
        std::vector<std::set<std::string>> siblings;
        std::istringstream lines(menu.out);
        std::string line;
        while (std::getline(lines, line)) {
            const std::size_t indent = line.find_first_not_of(' ');
            const std::size_t depth = indent / 2;
            siblings.resize(depth + 1);  // a line one level up closes the submenus below it
            std::string title = line.substr(indent, line.find("  -> ") - indent);
            if (title == "--") {
                continue;
            }
            if (title.ends_with(" (disabled)")) {
                title.resize(title.size() - std::string_view(" (disabled)").size());
            }
            EXPECT_TRUE(siblings[depth].insert(title).second) << title << " twice in\n" << menu.out;
        }
        ++checked;
    }
    EXPECT_GE(checked, 4) << "C, en, zh_CN and zh_TW at least";
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

TEST_F(QuentaFinderTest, ACutLeavesOutNamesItsEntryCannotCarry) {
    // Cut as "from/a\nb" the first would read back as the unselected "from/a"; "c\r" would
    // swallow the line feed after it.
    const std::string from = work / "from";
    runCommand("mkdir " + shellQuote(from) + " " + shellQuote(work / "to") + " && touch " +
               shellQuote(from + "/a") + " " + shellQuote(from + "/a\nb") + " " +
               shellQuote(from + "/c\r") + " " + shellQuote(from + "/d"));
    const auto cut =
        finder("--targeted " + shellQuote(from) + " --selected " + shellQuote(from + "/a\nb") +
               " --selected " + shellQuote(from + "/c\r") + " --selected " +
               shellQuote(from + "/d") + " invoke cutItems");
    ASSERT_EQ(cut.status, 0) << cut.err;
    EXPECT_THAT(extensionLog(), HasSubstr("] cut skipped \"" + from + "/a\\nb\": "));
    EXPECT_THAT(extensionLog(), HasSubstr("] cut skipped \"" + from + "/c\\r\": "));
    EXPECT_THAT(extensionLog(), HasSubstr("] cut paths: [\"" + from + "/d\"]\n"));
    ASSERT_EQ(finder("--targeted " + shellQuote(work / "to") + " invoke pasteCutItems").status, 0);
    EXPECT_EQ(runCommand("ls " + shellQuote(work / "to")).out, "d\n");
    EXPECT_EQ(runCommand("ls -q " + shellQuote(from)).out, "a\na?b\nc?\n");
}

TEST_F(QuentaFinderTest, ATrashRequestBeyondTheOneArgumentLimitReachesQuentaapp) {
    // 1,200 items with names of 120 bytes make a URL of some 200 KiB; one argument holds at most
    // 128 KiB. Long names rather than many items keep the trash itself short.
    const std::string padding(115, 'x');
    runCommand("mkdir " + shellQuote(work / "many") + " && cd " + shellQuote(work / "many") +
               " && seq -f '%04g-" + padding + "' 1 1200 | xargs touch");
    // The command goes into a script: it is itself too long for one argument of /bin/sh -c.
    std::string script = "exec env -u DISPLAY -u WAYLAND_DISPLAY HOME=" + shellQuote(home.path()) +
                         " XDG_DATA_HOME=" + shellQuote(home / "data") +
                         " XDG_RUNTIME_DIR=" + shellQuote(home / "runtime") + " " +
                         shellQuote(QUENTA_BIN_DIR "/quenta-finder") + " --targeted " +
                         shellQuote(work.path());
    for (int i = 1; i <= 1200; ++i) {
        char number[8];
        std::snprintf(number, sizeof number, "%04d-", i);
        script += " --selected " + shellQuote(work / "many/" + number + padding);
    }
    writeFile(work / "trash.sh", script + " invoke trashItems </dev/null\n");
    const auto trash = runCommand("sh " + shellQuote(work / "trash.sh"));
    EXPECT_EQ(trash.status, 0) << trash.err;
    EXPECT_EQ(runCommand("ls -A " + shellQuote(work / "many") + " | wc -l").out, "0\n");
    EXPECT_EQ(runCommand("ls " + shellQuote(home / "data/Trash/files") + " | wc -l").out, "1200\n");
    EXPECT_THAT(extensionLog(), HasSubstr("] main app open request sent\n"));
}

TEST_F(QuentaFinderTest, ARequestNotSentOrNotTakenIsAFailureWithinTheTenSecondsBound) {
    // The update check is not due, so that the host writes no file of its own.
    const auto inAnHour = std::chrono::duration_cast<std::chrono::milliseconds>(
        (std::chrono::system_clock::now() + std::chrono::hours(1)).time_since_epoch());
    runCommand("mkdir -p " + shellQuote(home / ".config/QuentaFinderExtension"));
    writeFile(home / ".config/QuentaFinderExtension/defaults.json",
              R"({"UpdateNextCheckDate": {"$date": )" + std::to_string(inAnHour.count()) + "}}");
    const std::string state = home / ".local/state";
    const std::string invoke =
        "env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_STATE_HOME -u XDG_CONFIG_HOME HOME=" +
        shellQuote(home.path()) + " XDG_RUNTIME_DIR=" + shellQuote(home / "runtime") +
        " timeout 30 " + shellQuote(QUENTA_BIN_DIR "/quenta-finder") + " --targeted " +
        shellQuote(work.path()) + " invoke createFolder </dev/null";
    // quentaapp is killed by the file-size limit at its first log line. The host's own log goes
    // to /dev/null, and its messages and exit status through a pipe, which that limit spares.
    runCommand("ln -s /dev/null " + shellQuote(state + "/QuentaFinderExtension.log"));
    EXPECT_EQ(runCommand("{ (ulimit -f 0; exec " + invoke + ") 2>&1; echo $?; } | cat").out,
              "quenta-finder: the request could not be sent to quentaapp: the application ended "
              "by a signal\n1\n");

    // quentaapp blocks when it prints the new folder: the standard output it shares with the host
    // is a full pipe that nobody reads. (A FIFO as its log no longer blocks it: that is refused.)
    int full[2];
    ASSERT_EQ(::pipe(full), 0);
    ASSERT_EQ(::fcntl(full[1], F_SETFL, O_NONBLOCK), 0);
    const std::string filler(4096, 'x');
    while (::write(full[1], filler.data(), filler.size()) > 0) {
    }
    ASSERT_EQ(::fcntl(full[1], F_SETFL, 0), 0);
    const auto started = std::chrono::steady_clock::now();
    const auto stuck = runCommand(invoke + " >&" + std::to_string(full[1]));
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(stuck.status, 1);
    EXPECT_EQ(stuck.err, "quenta-finder: quentaapp did not take the request within 10 s\n");
    EXPECT_GE(waited, std::chrono::seconds(10));
    EXPECT_LT(waited, std::chrono::seconds(13));
    // Lets the stuck quentaapp go on to its end.
    ::close(full[1]);
    ASSERT_EQ(::fcntl(full[0], F_SETFL, O_NONBLOCK), 0);
    char sink[4096];
    for (int round = 0; round < 20; ++round) {
        while (::read(full[0], sink, sizeof sink) > 0) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::close(full[0]);
}

}  // namespace
}  // namespace quenta::testing
