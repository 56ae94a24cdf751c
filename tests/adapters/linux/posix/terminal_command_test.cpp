// Which terminal is started, how it is told the folder and the shell, and the two workspaces that
// start one; stand-in programs in private PATH folders.
#include "adapters/linux/posix/terminal_command.hpp"

#include "adapters/linux/gio/workspace_gio.hpp"
#include "adapters/linux/posix/console_workspace.hpp"
#include "support/environment_scope.hpp"
#include "support/temp_dir.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace quenta::testing {
namespace {

using linux_platform::loginShell;
using linux_platform::terminalCommands;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

void installStandIn(const std::string& path, const std::string& body = "#!/bin/sh\n") {
    writeFile(path, body);
    ASSERT_EQ(::chmod(path.c_str(), 0755), 0);
}

// The first command line, with the stand-ins' folder shown as "BIN".
std::string firstCommand(const std::vector<std::vector<std::string>>& commands,
                         const std::string& bin) {
    if (commands.empty()) {
        return "<none>";
    }
    std::string line;
    for (const auto& argument : commands.front()) {
        line +=
            (line.empty() ? "" : " ") +
            (argument.rfind(bin + "/", 0) == 0 ? "BIN" + argument.substr(bin.size()) : argument);
    }
    return line;
}

TEST(TerminalCommandTest, TheDesktopsTerminalIsChosenFromTheProgramsInstalled) {
    const std::string folder = "/w/it's $HOME";
    const struct Case {
        const char* desktop;
        std::vector<const char*> programs;
        std::string command;
    } cases[] = {
        {"GNOME",
         {"xdg-terminal-exec", "gnome-terminal", "x-terminal-emulator"},
         "BIN/xdg-terminal-exec /bin/bash -l"},
        {"ubuntu:GNOME",
         {"kgx", "gnome-terminal", "x-terminal-emulator"},
         "BIN/gnome-terminal --working-directory=/w/it's $HOME -- /bin/bash -l"},
        {"GNOME",
         {"kgx", "xterm", "x-terminal-emulator"},
         "BIN/kgx --working-directory=/w/it's $HOME -- /bin/bash -l"},
        {"KDE",
         {"gnome-terminal", "konsole", "x-terminal-emulator"},
         "BIN/konsole --workdir /w/it's $HOME -e /bin/bash -l"},
        {"XFCE",
         {"xfce4-terminal", "x-terminal-emulator"},
         "BIN/xfce4-terminal --working-directory=/w/it's $HOME -x /bin/bash -l"},
        {"mate",
         {"mate-terminal", "x-terminal-emulator"},
         "BIN/mate-terminal --working-directory=/w/it's $HOME -x /bin/bash -l"},
        {"X-Cinnamon",
         {"gnome-terminal", "x-terminal-emulator"},
         "BIN/gnome-terminal --working-directory=/w/it's $HOME -- /bin/bash -l"},
        {"KDE", {"xterm", "x-terminal-emulator"}, "BIN/x-terminal-emulator -e /bin/bash -l"},
        {"LXQt",
         {"gnome-terminal", "x-terminal-emulator"},
         "BIN/x-terminal-emulator -e /bin/bash -l"},
        {"", {"mate-terminal", "konsole"}, "BIN/konsole --workdir /w/it's $HOME -e /bin/bash -l"},
        {"", {"xterm"}, "BIN/xterm -e /bin/bash -l"},
        {"GNOME", {}, "<none>"},
    };
    for (const auto& [desktop, programs, command] : cases) {
        const TempDir bin;
        for (const char* program : programs) {
            installStandIn(bin / program);
        }
        EXPECT_EQ(
            firstCommand(terminalCommands(folder, "/bin/bash", desktop, bin.path()), bin.path()),
            command)
            << desktop << " with " << programs.size() << " programs";
    }
}

TEST(TerminalCommandTest, OnlyAbsoluteFoldersOfPathAreSearchedAndEachTerminalOnce) {
    const TempDir work;
    const TempDir bin;
    for (const char* planted :
         {"relbin/xdg-terminal-exec", "xdg-terminal-exec", "x-terminal-emulator"}) {
        std::filesystem::create_directories(std::filesystem::path(work / planted).parent_path());
        installStandIn(work / planted);
    }
    installStandIn(bin / "gnome-terminal");
    writeFile(bin / "konsole", "#!/bin/sh\n");  // not executable
    ASSERT_EQ(::mkdir((bin / "xterm").c_str(), 0755), 0);
    const auto here = std::filesystem::current_path();
    std::filesystem::current_path(work.path());
    const auto commands = terminalCommands("/w", "/bin/sh", "GNOME:Cinnamon",
                                           "relbin::.:" + bin.path() + ":" + bin.path());
    std::filesystem::current_path(here);
    EXPECT_THAT(commands, ElementsAre(ElementsAre(bin / "gnome-terminal", "--working-directory=/w",
                                                  "--", "/bin/sh", "-l")));
}

TEST(TerminalCommandTest, TheLoginShellIsTheAccountsBeforeShellVariable) {
    const passwd* account = ::getpwuid(::getuid());
    ASSERT_NE(account, nullptr);
    ASSERT_EQ(::access(account->pw_shell, X_OK), 0) << "the test needs a usable account shell";
    const EnvironmentScope shell("SHELL", "/bin/sh");
    EXPECT_EQ(loginShell(), account->pw_shell);
}

TEST(TerminalWorkspaceTest, StartsTheTerminalInTheFolderOrSaysWhyNot) {
    const TempDir bin;
    const TempDir work;
    const std::string record = bin / "record";
    installStandIn(bin / "x-terminal-emulator",
                   "#!/bin/sh\n{ pwd; for a; do printf '%s\\n' \"$a\"; done; } > " +
                       shellQuote(record + ".part") + " && /bin/mv " +
                       shellQuote(record + ".part") + " " + shellQuote(record) + "\n");
    const std::string folder = work / "it's a $HOME \"q\" `x` \\ 中文 -dir";
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);

    const EnvironmentScope path("PATH", bin.path());
    const EnvironmentScope desktop("XDG_CURRENT_DESKTOP", "KDE");
    linux_platform::GioWorkspace workspace;
    ASSERT_TRUE(workspace.openTerminal(folder));
    // Started detached: the record appears when the stand-in has run.
    for (int i = 0; i < 500 && !std::filesystem::exists(record); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(readFile(record), folder + "\n-e\n" + loginShell() + "\n-l\n");
    EXPECT_TRUE(std::filesystem::is_empty(folder));

    const TempDir empty;
    const EnvironmentScope nothing("PATH", empty.path());
    const Status none = workspace.openTerminal(folder);
    ASSERT_FALSE(none);
    EXPECT_THAT(none.error().description,
                HasSubstr("no terminal emulator is installed (looked for xdg-terminal-exec, "));

    std::FILE* out = std::tmpfile();
    linux_platform::ConsoleWorkspace console(out);
    const Status headless = console.openTerminal(folder);
    ASSERT_FALSE(headless);
    EXPECT_EQ(headless.error().description, "no display is available to open a terminal window on");
    EXPECT_EQ(std::ftell(out), 0) << "nothing is printed for scripts to pick up";
    std::fclose(out);
}

}  // namespace
}  // namespace quenta::testing
