// The process runner with real child processes.
#include "adapters/linux/posix/process_runner_posix.hpp"

#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <string>

namespace quenta::testing {
namespace {

using linux_platform::PosixProcessRunner;

TEST(PosixProcessRunnerTest, ReturnsTheExitStatusOnceTheChildHasEnded) {
    PosixProcessRunner runner;
    TempDir work;
    EXPECT_EQ(runner.run("/bin/true", {}), 0);
    EXPECT_EQ(runner.run("/bin/sh", {"-c", "exit 7"}), 7);
    EXPECT_EQ(runner.run("/bin/sh", {"-c", "sleep 0.2; echo done > \"$1\"", "sh", work / "f"}), 0);
    EXPECT_EQ(readFile(work / "f"), "done\n") << "run waits for the child";
    EXPECT_EQ(runner.run("/bin/sh", {"-c", "kill -9 $$"}), 128 + 9);
}

TEST(PosixProcessRunnerTest, PassesTheArgumentsUnchangedAndInOrder) {
    PosixProcessRunner runner;
    TempDir work;
    const std::string script = work / "args.sh";
    writeFile(script, "#!/bin/sh\nprintf '[%s]\\n' \"$0\" \"$@\" > \"$OUT\"\n");
    ASSERT_EQ(runCommand("chmod 755 " + shellQuote(script)).status, 0);
    ::setenv("OUT", (work / "out").c_str(), 1);
    EXPECT_EQ(runner.run(script, {"-e", "use", "a b", "", "*", "访达"}), 0);
    ::unsetenv("OUT");
    EXPECT_EQ(readFile(work / "out"), "[" + script + "]\n[-e]\n[use]\n[a b]\n[]\n[*]\n[访达]\n");
}

TEST(PosixProcessRunnerTest, AChildThatCannotStartGivesMinusOne) {
    PosixProcessRunner runner;
    TempDir work;
    writeFile(work / "plain", "not a program");
    EXPECT_EQ(runner.run("/no/such/tool", {"-a"}), -1);
    EXPECT_EQ(runner.run(work / "plain", {}), -1) << "not executable";
    EXPECT_EQ(runner.run(work.path(), {}), -1) << "a folder";
    EXPECT_EQ(runner.run("true", {}), -1) << "no search of PATH";
    EXPECT_EQ(runner.run("", {}), -1);
}

}  // namespace
}  // namespace quenta::testing
