// A real terminal (xterm) on a virtual display, started the way a request starts it.
#include "adapters/linux/gio/workspace_gio.hpp"
#include "adapters/linux/posix/terminal_command.hpp"
#include "support/environment_scope.hpp"
#include "support/temp_dir.hpp"
#include "support/virtual_display.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace quenta::testing {
namespace {

TEST(TerminalOnDisplayTest, XtermRunsTheAccountsLoginShellInTheFolderAndLeavesNothing) {
    const std::string shell = linux_platform::loginShell();
    if (::access("/usr/bin/xterm", X_OK) != 0 || !shell.ends_with("/bash")) {
        GTEST_SKIP() << "needs xterm and an account whose shell is bash";
    }
    const VirtualDisplay display;
    if (display.name().empty()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    const TempDir bin;
    const TempDir home;
    const TempDir tmp;
    const TempDir work;
    // xterm is the only program on PATH: no zsh, no other terminal.
    ASSERT_EQ(::symlink("/usr/bin/xterm", (bin / "xterm").c_str()), 0);
    const std::string folder = work / "it's a $HOME \"q\" `x` \\ 中文 -dir";
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    // The login shell reports where it runs and what it is, then ends, closing the window.
    writeFile(home / ".bash_profile",
              "{ pwd; echo \"$BASH\"; shopt -q login_shell && echo login; } > \"$HOME/record.part\""
              " && /bin/mv \"$HOME/record.part\" \"$HOME/record\"\nexit\n");

    EnvironmentScope environment;
    environment.set("DISPLAY", display.name());
    environment.set("PATH", bin.path());
    environment.set("HOME", home.path());
    environment.set("TMPDIR", tmp.path());
    environment.set("SHELL", "/usr/bin/zsh");
    environment.unset("XDG_CURRENT_DESKTOP");
    environment.unset("WAYLAND_DISPLAY");
    linux_platform::GioWorkspace workspace;
    ASSERT_TRUE(workspace.openTerminal(folder));
    const std::string record = home / "record";
    for (int i = 0; i < 2000 && !std::filesystem::exists(record); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(readFile(record), folder + "\n" + shell + "\nlogin\n");
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    EXPECT_TRUE(std::filesystem::is_empty(tmp.path()));
}

}  // namespace
}  // namespace quenta::testing
