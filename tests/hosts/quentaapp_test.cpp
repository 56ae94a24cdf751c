// The built quentaapp executable, end to end, in a private HOME without a display.
#include "adapters/linux/posix/pasteboard_store.hpp"
#include "core/shared/request_url.hpp"
#include "support/temp_dir.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace quenta::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using ::testing::Not;
using ::testing::StartsWith;

class QuentaAppTest : public ::testing::Test {
  protected:
    QuentaAppTest() { runCommand("mkdir -p " + shellQuote(home / ".local/state")); }

    std::string command(const std::string& arguments) {
        return "env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_STATE_HOME HOME=" +
               shellQuote(home.path()) + " " + shellQuote(QUENTA_BIN_DIR "/quentaapp") + " " +
               arguments + " </dev/null";
    }
    CommandResult run(const std::string& arguments) { return runCommand(command(arguments)); }
    std::string logText() { return readFile(home / ".local/state/QuentaApp.log"); }

    TempDir home;
    TempDir work;
};

TEST_F(QuentaAppTest, CreatesFilesPrintsTheirPathsAndLogs) {
    const auto result = run(shellQuote("quentaapp://create?type=markdown&path=" + work.path()) +
                            " " + shellQuote("quentaapp://folder?path=" + work.path()));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, work / "新建Markdown.md" + "\n" + (work / "新建文件夹") + "\n");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(readFile(work / "新建Markdown.md"), "# Untitled\n");
    EXPECT_THAT(logText(),
                MatchesRegex("\\[[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} \\+0000\\] "
                             "handle url: quentaapp://create\\?type=markdown&path=.*\n"
                             "(.*\n){6}.*created folder .*/新建文件夹\n"));
}

TEST_F(QuentaAppTest, TwentyCreatesAtOnceIntoOneFolderMakeTwentyItems) {
    for (const std::string request : {"create?type=plainText", "folder?"}) {
        for (int round = 0; round < 5; ++round) {
            const std::string folder = work / (request.substr(0, 6) + std::to_string(round));
            runCommand("mkdir " + shellQuote(folder));
            std::string creates;
            for (int i = 0; i < 20; ++i) {
                creates += command(shellQuote("quentaapp://" + request + "&path=" + folder)) +
                           " >/dev/null 2>>" + shellQuote(work / "errors") + " & ";
            }
            ASSERT_EQ(runCommand(creates + "wait").status, 0);
            EXPECT_EQ(runCommand("ls -A " + shellQuote(folder) + " | wc -l").out, "20\n")
                << request << " round " << round << ": " << readFile(work / "errors");
        }
    }
}

TEST_F(QuentaAppTest, AlertsGoToStandardErrorAndSetTheExitStatus) {
    const auto result = run("quentaapp://paste?path=/tmp " +
                            shellQuote("quentaapp://create?type=txt&path=" + work.path()));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              "访达右键Lumvik\n请求无效：paste\n\n访达右键Lumvik\n新建文件请求无效。\n\n");
    EXPECT_EQ(result.out, "");
}

TEST_F(QuentaAppTest, PathsThatNameNoItemByThemselvesAreRefusedAndNothingIsDone) {
    // Run from `work` with its temporary folder there: a relative path or a cut-short one would
    // act inside it.
    writeFile(work / "victim", "kept");
    runCommand("mkdir " + shellQuote(work / "runtime"));
    const std::string w = work.path();
    const struct {
        std::string url;
        std::string alert;
    } cases[] = {
        {"trash?path=" + w + "/victim%00", "移到废纸篓请求无效。"},
        {"trash?path=" + w + "/victim&path=victim", "移到废纸篓请求无效。"},
        {"create?type=plainText&path=" + w + "/victim%00/x", "新建文件请求无效。"},
        {"create?type=plainText&path=rel", "新建文件请求无效。"},
        {"folder?path=" + w + "%00x", "新建文件夹请求无效。"},
        {"folder?path=.", "新建文件夹请求无效。"},
        {"pasteCut?path=" + w + "%00", "粘贴请求无效。"},
        {"terminal?path=" + w + "%00", "打开终端请求无效。"},
        {"terminal?path=", "打开终端请求无效。"},
        {"terminal?path=-", "打开终端请求无效。"},
        {"terminal?path=--", "打开终端请求无效。"},
        // A folder that is not there fails before a script is written.
        {"terminal?path=" + w + "/missing", "打开终端失败。\n\n目录：" + w + "/missing"},
    };
    std::string urls;
    std::string alerts;
    for (const auto& c : cases) {
        urls += " " + shellQuote("quentaapp://" + c.url);
        alerts += "访达右键Lumvik\n" + c.alert + "\n\n";
    }
    const auto result = runCommand(
        "cd " + shellQuote(w) +
        " && env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_STATE_HOME HOME=" + shellQuote(home.path()) +
        " TMPDIR=" + shellQuote(w) + " XDG_RUNTIME_DIR=" + shellQuote(work / "runtime") +
        " XDG_DATA_HOME=" + shellQuote(home / "data") + " " +
        shellQuote(QUENTA_BIN_DIR "/quentaapp") + urls + " </dev/null");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, alerts);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(runCommand("ls -A " + shellQuote(w)).out, "runtime\nvictim\n");
    EXPECT_EQ(readFile(work / "victim"), "kept");
    EXPECT_THAT(logText(), HasSubstr("] open terminal failed: No such file or directory\n"));
}

TEST_F(QuentaAppTest, UsageErrorsDoNothingAndHelpAndVersionAnswer) {
    const auto bad = run(shellQuote("quentaapp://folder?path=" + work.path()) + " /not/a/url");
    EXPECT_EQ(bad.status, 2);
    EXPECT_THAT(bad.err, HasSubstr("is not a URL"));
    EXPECT_EQ(runCommand("ls -A " + shellQuote(work.path())).out, "");
    EXPECT_EQ(run("--bogus").status, 2);

    const auto help = run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, StartsWith("Usage: quentaapp"));
    const auto version = run("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "quentaapp 0.1.0\n");
    EXPECT_EQ(logText(), "") << "nothing is handled, so nothing is logged";
}

TEST_F(QuentaAppTest, AHeadlessRunNeverLoadsTheDesktopShell) {
    // The dynamic loader lists every library it opens; GTK comes only with the shell module.
    const auto result = runCommand(
        "env -u DISPLAY -u WAYLAND_DISPLAY LD_DEBUG=libs HOME=" + shellQuote(home.path()) + " " +
        shellQuote(QUENTA_BIN_DIR "/quentaapp") + " " +
        shellQuote("quentaapp://folder?path=" + work.path()) + " </dev/null 2>&1");
    EXPECT_EQ(result.status, 0);
    EXPECT_THAT(result.out, HasSubstr("calling init"));
    EXPECT_THAT(result.out, Not(HasSubstr("libgtk")));
    EXPECT_THAT(result.out, Not(HasSubstr("quentaapp-shell")));
}

TEST_F(QuentaAppTest, AHeadlessTerminalFailsWithTheReasonAndTrashMovesIntoTheTrashOfXdgDataHome) {
    const std::string environment =
        "env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_STATE_HOME HOME=" + shellQuote(home.path()) +
        " TMPDIR=" + shellQuote(work.path()) + " XDG_DATA_HOME=" + shellQuote(home / "data") + " " +
        shellQuote(QUENTA_BIN_DIR "/quentaapp") + " ";
    const auto terminal = runCommand("LANGUAGE= LC_ALL=C.UTF-8 " + environment +
                                     "'quentaapp://terminal?path=/tmp' </dev/null");
    EXPECT_EQ(terminal.status, 1);
    EXPECT_EQ(terminal.out, "");
    EXPECT_THAT(terminal.err, HasSubstr("打开终端失败。\n\n目录：/tmp"));
    EXPECT_THAT(
        logText(),
        HasSubstr("open terminal failed: no display is available to open a terminal window on\n"));
    EXPECT_THAT(logText(), Not(HasSubstr("terminal command opened at")));
    EXPECT_TRUE(std::filesystem::is_empty(work.path())) << "no script is written";

    writeFile(work / "old notes.txt", "notes");
    writeFile(work / "latin1 \xe9", "not UTF-8");
    const auto trash = runCommand(
        environment + shellQuote("quentaapp://trash?path=" + work.path() + "/old%20notes.txt") +
        " " + shellQuote("quentaapp://trash?path=" + work.path() + "/latin1%20%E9") +
        " </dev/null");
    EXPECT_EQ(trash.status, 0) << trash.err;
    EXPECT_EQ(trash.out, "");
    EXPECT_EQ(readFile(home / "data/Trash/files/old notes.txt"), "notes");
    EXPECT_THAT(readFile(home / "data/Trash/info/old notes.txt.trashinfo"),
                HasSubstr("\nPath=" + work.path() + "/old%20notes.txt\n"));
    EXPECT_THAT(logText(), HasSubstr("trashed " + work.path() + "/old notes.txt\n"));
    EXPECT_THAT(logText(), HasSubstr("trashed " + work.path() + "/latin1 \\xe9\n"))
        << "a name that is not UTF-8 is logged with the byte escaped";
}

TEST_F(QuentaAppTest, PasteMovesTheItemsCutByAnotherProcessReportsTheGoneAndClearsTheCut) {
    TempDir runtime;
    TempDir far("/dev/shm");  // another filesystem: the move copies and removes
    runCommand("mkdir " + shellQuote(work / "dst") + " " + shellQuote(far / "dir"));
    writeFile(far / "a b.txt", "moved");
    writeFile(far / "dir/inner", "inner");
    writeFile(work / "dst/a b.txt", "already here");
    linux_platform::PasteboardStore store(runtime / "quenta-pasteboard");
    ASSERT_TRUE(store.setString(far / "a b.txt" + "\n" + (far / "gone") + "\n" + (far / "dir"),
                                "com.local.QuentaApp.cutPaths"));
    ASSERT_TRUE(store.setString("plain", linux_platform::PasteboardStore::kPlainTextType));

    const auto paste = [&] {
        return runCommand(
            "env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_STATE_HOME HOME=" + shellQuote(home.path()) +
            " XDG_RUNTIME_DIR=" + shellQuote(runtime.path()) + " " +
            shellQuote(QUENTA_BIN_DIR "/quentaapp") + " " +
            shellQuote("quentaapp://pasteCut?path=" + work.path() + "/dst") + " </dev/null");
    };
    const auto first = paste();
    EXPECT_EQ(first.status, 1);
    EXPECT_EQ(first.err,
              "访达右键Lumvik\n部分项目移动失败：\n\ngone：No such file or directory\n\n");
    EXPECT_EQ(first.out, work / "dst/a b 2.txt" + "\n" + (work / "dst/dir") + "\n");
    EXPECT_EQ(readFile(work / "dst/a b.txt"), "already here");
    EXPECT_EQ(readFile(work / "dst/a b 2.txt"), "moved");
    EXPECT_EQ(readFile(work / "dst/dir/inner"), "inner");
    EXPECT_EQ(runCommand("ls -A " + shellQuote(far.path())).out, "");
    EXPECT_EQ(store.stringForType("com.local.QuentaApp.cutPaths"), std::nullopt);
    EXPECT_EQ(store.stringForType(linux_platform::PasteboardStore::kPlainTextType), std::nullopt);

    const auto second = paste();
    EXPECT_EQ(second.status, 1);
    EXPECT_EQ(second.err, "访达右键Lumvik\n没有可粘贴的剪切项目。\n\n");
    EXPECT_THAT(logText(),
                HasSubstr("moved " + far.path() + "/dir to " + work.path() + "/dst/dir\n"));
    EXPECT_THAT(logText(),
                HasSubstr("] move failed " + far.path() + "/gone: No such file or directory\n"));
}

TEST_F(QuentaAppTest, PasteDecidesAlreadyHereOnTheFoldersAsTheKernelResolvesThem) {
    TempDir runtime;
    // "a/link/.." is b, the folder that holds the link's target, not a.
    runCommand("mkdir -p " + shellQuote(work / "a") + " " + shellQuote(work / "b/c") +
               " && ln -s " + shellQuote(work / "b/c") + " " + shellQuote(work / "a/link"));
    writeFile(work / "a/f", "f");
    linux_platform::PasteboardStore store(runtime / "quenta-pasteboard");
    ASSERT_TRUE(store.setString(work / "a/f", "com.local.QuentaApp.cutPaths"));
    const auto paste = runCommand(
        "env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_STATE_HOME HOME=" + shellQuote(home.path()) +
        " XDG_RUNTIME_DIR=" + shellQuote(runtime.path()) + " " +
        shellQuote(QUENTA_BIN_DIR "/quentaapp") + " " +
        shellQuote("quentaapp://pasteCut?path=" + work.path() + "/a/link/..") + " </dev/null");
    EXPECT_EQ(paste.status, 0) << paste.err;
    EXPECT_EQ(paste.out, work / "a/link/../f" + "\n");
    EXPECT_EQ(readFile(work / "b/f"), "f");
}

TEST_F(QuentaAppTest, URLsOnStandardInputFollowThoseGivenAsArguments) {
    const auto result = runCommand(
        "printf '%s\\n\\n%s\\n' " + shellQuote("quentaapp://folder?path=" + work.path()) + " " +
        shellQuote("quentaapp://create?type=plainText&path=" + work.path()) +
        " | env -u DISPLAY -u WAYLAND_DISPLAY HOME=" + shellQuote(home.path()) + " " +
        shellQuote(QUENTA_BIN_DIR "/quentaapp") + " --stdin " +
        shellQuote("quentaapp://create?type=markdown&path=" + work.path()));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, work / "新建Markdown.md" + "\n" + (work / "新建文件夹") + "\n" +
                              (work / "新建文本文档.txt") + "\n");
    EXPECT_EQ(
        runCommand("echo nothing | " + shellQuote(QUENTA_BIN_DIR "/quentaapp") + " --stdin").status,
        2);
}

// Outside interruptions of a run: the item in hand is finished and what must not stay is undone.
class QuentaAppStopTest : public QuentaAppTest {
  protected:
    [[nodiscard]] std::string trashFolder(const std::string& sub) const {
        return home / ("data/Trash/" + sub);
    }
    std::size_t count(const std::string& folder) {
        return std::stoul(runCommand("ls -A " + shellQuote(folder) + " | wc -l").out);
    }
};

TEST_F(QuentaAppStopTest, SigtermDuringALargeTrashFinishesTheItemInHandAndLeavesNoLoneRecord) {
    constexpr int kItems = 4000;
    runCommand("mkdir " + shellQuote(work / "items") + " && cd " + shellQuote(work / "items") +
               " && seq " + std::to_string(kItems) + " | xargs touch");
    std::string url = "quentaapp://trash?";
    for (int i = 1; i <= kItems; ++i) {
        url += (i == 1 ? "path=" : "&path=") + work.path() + "/items/" + std::to_string(i);
    }
    writeFile(work / "request", url + "\n" + "quentaapp://folder?path=" + work.path() + "\n");
    // Stopped as soon as the first item is in the Trash.
    const auto result = runCommand(
        "env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_STATE_HOME HOME=" + shellQuote(home.path()) +
        " XDG_DATA_HOME=" + shellQuote(home / "data") + " " +
        shellQuote(QUENTA_BIN_DIR "/quentaapp") + " --stdin <" + shellQuote(work / "request") +
        " & app=$!; until [ -n \"$(ls -A " + shellQuote(trashFolder("files")) +
        " 2>/dev/null)\" ]; do sleep 0.001; done; kill -TERM $app; wait $app");
    EXPECT_EQ(result.status, 128 + 15) << result.err;
    EXPECT_THAT(result.err, HasSubstr("quentaapp: stopped by SIGTERM, 1 further requests"));
    const std::size_t moved = count(trashFolder("files"));
    EXPECT_EQ(count(trashFolder("info")), moved);
    EXPECT_EQ(moved + count(work / "items"), static_cast<std::size_t>(kItems));
    EXPECT_FALSE(std::filesystem::exists(work / "新建文件夹"));
    EXPECT_THAT(logText(), HasSubstr("] stopped by SIGTERM, 1 further requests not handled\n"));
    if (moved < kItems) {
        EXPECT_THAT(logText(), HasSubstr("] trash stopped, left in place: "));
    }
}

TEST_F(QuentaAppStopTest, AClosedStandardOutputNeverStopsTheRequests) {
    // The reader is gone before the first item is printed: every later write meets a broken pipe.
    const auto result =
        runCommand("{ sleep 1; " +
                   command(shellQuote("quentaapp://folder?path=" + work.path()) + " " +
                           shellQuote("quentaapp://create?type=json&path=" + work.path())) +
                   "; echo $? >" + shellQuote(work / "status") + "; } | true");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(readFile(work / "status"), "0\n");
    EXPECT_TRUE(std::filesystem::exists(work / "新建文件夹"));
    EXPECT_TRUE(std::filesystem::exists(work / "新建JSON.json"));
}

TEST_F(QuentaAppStopTest, ACreateKilledHalfWayLeavesNothingUnderAnyName) {
    // The file-size limit (1 KiB) kills the process in the middle of the document's write.
    const auto result =
        runCommand("ulimit -f 1; " +
                   command(shellQuote("quentaapp://create?type=powerpoint&path=" + work.path())));
    EXPECT_NE(result.status, 0);
    EXPECT_EQ(runCommand("ls -A " + shellQuote(work.path())).out, "");
}

TEST_F(QuentaAppTest, NamesAndURLsCannotForgeLinesOrDriveTheTerminal) {
    // A line feed that would begin a record of its own, a terminal's title and clear-screen
    // sequences, a right-to-left override and a C1 control.
    const std::string hostile =
        "x\n[2026-12-09 00:00:00 +0000] trashed passwd\x1b]0;t\x07\x1b[2J\xe2\x80\xae\xc2\x85";
    const std::string escaped =
        "x\\x0a[2026-12-09 00:00:00 +0000] trashed passwd\\x1b]0;t\\x07\\x1b[2J\\u202e"
        "\\u0085";
    runCommand("mkdir " + shellQuote(work / hostile));
    const std::string encoded = percentEncodeQueryComponent(work / hostile, false);
    const auto result = run(shellQuote("quentaapp://folder?path=" + encoded) + " " +
                            shellQuote("quentaapp://trash?path=" + encoded + "-gone") + " " +
                            shellQuote("quentaapp://x\n[forged]\x1b[2J"));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, work / escaped + "/新建文件夹\n");
    EXPECT_THAT(result.err, HasSubstr("\n" + escaped + "-gone："));
    const std::string log = logText();
    EXPECT_THAT(log, HasSubstr("] created folder " + work / escaped + "/新建文件夹\n"));
    EXPECT_THAT(log, HasSubstr("] trash failed " + work / escaped + "-gone: No such file"));
    EXPECT_THAT(log, HasSubstr("] handle url: quentaapp://x\\x0a[forged]\\x1b[2J\n"));
    for (const std::string& text : {result.out, result.err, log}) {
        EXPECT_EQ(text.find_first_of("\x1b\x07\r"), std::string::npos) << text;
        EXPECT_THAT(text, Not(HasSubstr("\xe2\x80\xae")));
    }
    EXPECT_THAT(log,
                MatchesRegex("(\\[[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8} \\+0000\\] [^\n]*\n)*"));

    const auto usage = run(shellQuote("-\x1b[2J\n"));
    EXPECT_EQ(usage.status, 2);
    EXPECT_THAT(usage.err, StartsWith("quentaapp: unknown option '-\\x1b[2J\\x0a'\n"));

    // For scripts: each item ends with a NUL byte, unescaped.
    const auto nul = run("--null " + shellQuote("quentaapp://folder?path=" + encoded));
    EXPECT_EQ(nul.status, 0) << nul.err;
    EXPECT_EQ(nul.out, work / hostile + "/新建文件夹 2" + std::string(1, '\0'));
}

TEST_F(QuentaAppTest, RequestsFromOutsideAreRefusedWithoutADisplayAndNothingIsDone) {
    writeFile(work / "kept", "kept");
    const std::string folder = percentEncodeQueryComponent(work.path(), false);
    std::string urls;
    for (const std::string& request :
         {"create?type=plainText&path=" + folder, "folder?path=" + folder,
          "pasteCut?path=" + folder, "trash?path=" + folder + "/kept", "terminal?path=" + folder}) {
        urls += " " + shellQuote("quentaapp://" + request);
    }
    const auto result = run("--from-scheme-handler --" + urls);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    const std::string refusal =
        "另一个程序通过链接发来的请求未执行：没有显示器，无法征得您的同意。";
    std::size_t refusals = 0;
    for (auto at = result.err.find(refusal); at != std::string::npos;
         at = result.err.find(refusal, at + 1)) {
        ++refusals;
    }
    EXPECT_EQ(refusals, 5u) << result.err;
    EXPECT_THAT(result.err, HasSubstr(refusal + "\n\n将以下项目移到废纸篓：\n" + work / "kept\n"));
    EXPECT_EQ(runCommand("ls -A " + shellQuote(work.path())).out, "kept\n");
    EXPECT_THAT(logText(), HasSubstr("] request from: outside, through the desktop's handler of "
                                     "the scheme\n"));
}

}  // namespace
}  // namespace quenta::testing
