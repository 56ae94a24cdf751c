// The process runner with real child processes.
#include "adapters/linux/posix/process_runner_posix.hpp"

#include "adapters/linux/posix/program_search.hpp"
#include "support/environment_scope.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
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

TEST(PosixProcessRunnerTest, AChildThatCannotStartIsAnErrorNamingTheProgram) {
    PosixProcessRunner runner;
    TempDir work;
    writeFile(work / "plain", "not a program");
    const struct {
        std::string program;
        ErrorKind kind;
    } cases[] = {
        {"/no/such/tool", ErrorKind::notFound},
        {work / "plain", ErrorKind::permissionDenied},  // not executable
        {work.path(), ErrorKind::permissionDenied},     // a folder
        {"true", ErrorKind::invalidArgument},           // no search of PATH
        {"", ErrorKind::invalidArgument},
    };
    for (const auto& c : cases) {
        const Result<int> ran = runner.run(c.program, {"-a"});
        ASSERT_FALSE(ran.ok()) << c.program;
        EXPECT_EQ(ran.error().kind, c.kind) << c.program;
        EXPECT_NE(ran.error().description.find(c.program), std::string::npos)
            << ran.error().description;
    }
}

// A program planted in the working directory is never found through an empty, "." or relative
// entry of PATH; the same program in an absolute folder is.
TEST(ProgramLookupTest, OnlyAbsoluteFoldersOfThePathAreSearched) {
    const TempDir dir;
    ASSERT_EQ(::mkdir((dir / "relbin").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir((dir / "bin").c_str(), 0700), 0);
    for (const char* program : {"relbin/planted", "planted", "bin/planted"}) {
        writeFile(dir / program, "#!/bin/sh\n");
        ASSERT_EQ(::chmod((dir / program).c_str(), 0755), 0);
    }
    const std::string cwd = std::filesystem::current_path();
    ASSERT_EQ(::chdir(dir.path().c_str()), 0);
    for (const char* path : {":", ".", "relbin", "./relbin:", "::relbin"}) {
        const EnvironmentScope scope("PATH", std::string(path));
        EXPECT_EQ(linux_platform::findProgram("planted"), std::nullopt) << path;
    }
    const EnvironmentScope scope("PATH", ".:" + (dir / "bin"));
    EXPECT_EQ(linux_platform::findProgram("planted"), dir / "bin/planted");
    EXPECT_EQ(linux_platform::findProgram("relbin/planted"), std::nullopt);
    ASSERT_EQ(::chdir(cwd.c_str()), 0);
}

}  // namespace
}  // namespace quenta::testing
