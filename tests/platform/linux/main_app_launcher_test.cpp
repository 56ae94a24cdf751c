// The launcher with real child processes: the completion reports whether the application took the
// request, and a long-lived host does not pile up the threads that waited for earlier requests.
#include "platform/linux/main_app_launcher.hpp"

#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <optional>
#include <string>

namespace quenta::testing {
namespace {

using linux_platform::MainAppLauncher;

// The process's mapped memory in kB: a thread that ended but was never joined keeps its stack.
long mappedKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmSize:", 0) == 0) {
            return std::stol(line.substr(7));
        }
    }
    return -1;
}

TEST(MainAppLauncherTest, ReportsWhetherTheApplicationTookTheRequest) {
    TempDir folder;
    writeFile(folder / "app", "#!/bin/sh\necho \"$1\" > \"$(dirname \"$0\")/got\"\n");
    runCommand("chmod +x " + shellQuote(folder / "app"));
    MainAppLauncher launcher(folder / "app");
    std::optional<std::optional<Error>> outcome;
    launcher.openWithMainApplication("quentaapp://folder?path=/tmp",
                                     [&](std::optional<Error> error) { outcome = error; });
    ASSERT_TRUE(launcher.waitForRequests(std::chrono::seconds(10)));
    ASSERT_TRUE(outcome.has_value());
    EXPECT_FALSE(outcome->has_value());
    EXPECT_EQ(readFile(folder / "got"), "quentaapp://folder?path=/tmp\n");

    MainAppLauncher missing(folder / "absent");
    std::optional<std::optional<Error>> failure;
    missing.openWithMainApplication("quentaapp://folder?path=/tmp",
                                    [&](std::optional<Error> error) { failure = error; });
    ASSERT_TRUE(missing.waitForRequests(std::chrono::seconds(10)));
    ASSERT_TRUE(failure.has_value());
    EXPECT_TRUE(failure->has_value());
}

TEST(MainAppLauncherTest, WaitersOfTakenRequestsAreJoined) {
    MainAppLauncher launcher("/bin/true");
    const long before = mappedKilobytes();
    std::atomic<int> taken = 0;
    for (int i = 0; i < 80; ++i) {
        launcher.openWithMainApplication("quentaapp://folder?path=/tmp",
                                         [&](std::optional<Error> error) {
                                             if (!error) {
                                                 ++taken;
                                             }
                                         });
        ASSERT_TRUE(launcher.waitForRequests(std::chrono::seconds(10)));
    }
    EXPECT_EQ(taken, 80);
    // Joined waiters' stacks are reused, and a thread's malloc arena may stay reserved (64 MB);
    // 80 waiters never joined would keep some 640 MB of stacks mapped.
    EXPECT_LT(mappedKilobytes() - before, 256 * 1024);
}

}  // namespace
}  // namespace quenta::testing
