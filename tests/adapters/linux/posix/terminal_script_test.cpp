// The terminal script written by the real file system and run by a real zsh, the atomic write it
// relies on, and the two workspaces that open it.
#include "adapters/linux/gio/workspace_gio.hpp"
#include "adapters/linux/posix/console_workspace.hpp"
#include "adapters/linux/posix/file_system_posix.hpp"
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

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace quenta::testing {
namespace {

using linux_platform::PosixFileSystem;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;

std::vector<std::string> entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class TerminalScriptTest : public ::testing::Test {
  protected:
    TerminalScriptTest() { runCommand("mkdir -p " + shellQuote(home / ".local/state")); }

    // Asks for a terminal in `folder` and answers the script the workspace was given.
    std::string scriptFor(const std::string& folder) {
        creator.openTerminal(folder);
        EXPECT_THAT(alerts.shown, IsEmpty());
        return workspace.opened.empty() ? std::string() : workspace.opened.back();
    }

    // Runs the script as the terminal does, feeding commands to the login shell it becomes.
    CommandResult runScript(const std::string& script, const std::string& input) {
        return runCommand("cd / && printf '" + input +
                          "' | env -i HOME=" + shellQuote(home.path()) +
                          " PATH=/usr/bin:/bin TERM=dumb zsh " + shellQuote(script));
    }

    TempDir tmp;
    TempDir home;
    TempDir work;
    EnvironmentScope tmpdir{"TMPDIR", tmp.path()};
    EnvironmentScope stateHome{"XDG_STATE_HOME", home / ".local/state"};
    PosixFileSystem files;
    FixedClock clock;
    RecordingAlerts alerts;
    RecordingWorkspace workspace;
    linux_platform::RandomUuidSource uuids;
    ActivityLog log{files, clock, "QuentaApp.log"};
    MemoryPasteboard pasteboard;
    QuentaCreator creator{{files, alerts, workspace, uuids, log, pasteboard}};
};

TEST_F(TerminalScriptTest, ZshEndsInTheFolderWhateverItsNameAndTheScriptRemovesItself) {
    const std::string folder = work / "it's a $HOME \"q\" `x` \\ 中文 dir";
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    const std::string script = scriptFor(folder);
    EXPECT_THAT(script, MatchesRegex(tmp.path() + "/QuentaApp-[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-"
                                                  "[89AB][0-9A-F]{3}-[0-9A-F]{12}\\.command"));
    EXPECT_EQ(modeOf(script), 0700);
    EXPECT_EQ(readFile(script).substr(0, 11), "#!/bin/zsh\n");

    const auto run = runScript(script, "pwd\\nexit 7\\n");
    EXPECT_EQ(run.status, 7) << run.err;
    EXPECT_THAT(run.out, EndsWith(folder + "\n"));
    EXPECT_THAT(entries(tmp.path()), IsEmpty()) << "the script deleted itself";
}

TEST_F(TerminalScriptTest, TwoScriptsEachRemoveOnlyThemselvesAndAMissingFolderKeepsItsScript) {
    const std::string first = scriptFor(work.path());
    // A folder removed after its script was written: the script's own "cd" is the last check.
    ASSERT_EQ(::mkdir((work / "deleted since").c_str(), 0755), 0);
    const std::string second = scriptFor(work / "deleted since");
    ASSERT_EQ(::rmdir((work / "deleted since").c_str()), 0);
    ASSERT_NE(first, second);
    EXPECT_EQ(runScript(first, "exit\\n").status, 0);
    EXPECT_FALSE(files.itemExists(first));
    EXPECT_TRUE(files.itemExists(second));

    const auto failed = runScript(second, "exit\\n");
    EXPECT_EQ(failed.status, 1) << "cd failed, so the script gives up before removing itself";
    EXPECT_TRUE(files.itemExists(second));
    EXPECT_EQ(log.path(), home / ".local/state/QuentaApp.log");
    EXPECT_THAT(readFile(log.path()), MatchesRegex("(.*\n)*.*terminal command opened at " +
                                                   work.path() + "/deleted since\n"));
}

TEST_F(TerminalScriptTest, AtomicWritesReplaceWholeFilesAndLinksButNeverWriteThroughThem) {
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
    EXPECT_THAT(entries(work.path()), ElementsAre("file", "folder", "link", "target"))
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

TEST(ConsoleWorkspaceTest, PrintsTerminalScriptsAndOpensNothingElse) {
    std::FILE* out = std::tmpfile();
    linux_platform::ConsoleWorkspace workspace(out);
    EXPECT_TRUE(workspace.openFile("/tmp/QuentaApp-X.command"));
    EXPECT_FALSE(workspace.openFile("/tmp/notes.txt"));
    EXPECT_FALSE(workspace.openFile("/tmp/command"));
    std::rewind(out);
    char buffer[256] = {};
    const std::size_t got = std::fread(buffer, 1, sizeof buffer - 1, out);
    std::fclose(out);
    EXPECT_EQ(std::string(buffer, got), "/tmp/QuentaApp-X.command\n");
}

TEST(GioWorkspaceTest, TerminalScriptsRunInTheTerminalEmulatorInTheirFolder) {
    const TempDir bin;
    const TempDir scripts;
    const std::string record = bin / "record";
    writeFile(bin / "x-terminal-emulator",
              "#!/bin/sh\n{ pwd; for a; do printf '%s\\n' \"$a\"; done; } > " +
                  shellQuote(record + ".part") + " && /bin/mv " + shellQuote(record + ".part") +
                  " " + shellQuote(record) + "\n");
    ASSERT_EQ(::chmod((bin / "x-terminal-emulator").c_str(), 0755), 0);
    const std::string script = scripts / "QuentaApp-1.command";
    writeFile(script, "#!/bin/zsh\nexit 0");

    const EnvironmentScope path("PATH", bin.path());
    const EnvironmentScope desktop("XDG_CURRENT_DESKTOP", std::nullopt);
    linux_platform::GioWorkspace workspace;
    ASSERT_TRUE(workspace.openFile(script));
    // Started detached: the record appears when the emulator has run.
    for (int i = 0; i < 500 && !std::filesystem::exists(record); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(readFile(record), scripts.path() + "\n-e\n/bin/zsh\n" + script + "\n");

    const TempDir empty;
    const EnvironmentScope nothing("PATH", empty.path());
    EXPECT_FALSE(workspace.openFile(script)) << "no terminal emulator at all";
}

}  // namespace
}  // namespace quenta::testing
