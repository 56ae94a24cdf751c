// The built quentaapp executable, end to end, in a private HOME without a display.
#include "support/temp_dir.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quenta::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using ::testing::StartsWith;

class QuentaAppTest : public ::testing::Test {
  protected:
    QuentaAppTest() { runCommand("mkdir -p " + shellQuote(home / ".local/state")); }

    CommandResult run(const std::string& arguments) {
        return runCommand(
            "env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_STATE_HOME HOME=" + shellQuote(home.path()) +
            " " + shellQuote(QUENTA_BIN_DIR "/quentaapp") + " " + arguments + " </dev/null");
    }
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
                             "(.*\n){4}.*created folder .*/新建文件夹\n"));
}

TEST_F(QuentaAppTest, AlertsGoToStandardErrorAndSetTheExitStatus) {
    const auto result = run("quentaapp://paste?path=/tmp " +
                            shellQuote("quentaapp://create?type=txt&path=" + work.path()));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              "访达右键Lumvik\n请求无效：paste\n\n访达右键Lumvik\n新建文件请求无效。\n\n");
    EXPECT_EQ(result.out, "");
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

}  // namespace
}  // namespace quenta::testing
