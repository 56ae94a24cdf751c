// The launcher with real child processes: the completion reports whether the application took the
// request, and a long-lived host does not pile up the threads that waited for earlier requests.
#include "adapters/linux/posix/main_app_launcher.hpp"

#include "support/temp_dir.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace quenta::testing {
namespace {

using linux_platform::MainAppLauncher;
using namespace std::chrono_literals;

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

// Records each completion the launcher reports, from whichever thread it arrives on.
struct Outcomes {
    std::mutex mutex;
    std::vector<std::optional<Error>> seen;

    ApplicationLauncher::Completion record() {
        return [this](std::optional<Error> error) {
            const std::lock_guard lock(mutex);
            seen.push_back(std::move(error));
        };
    }
};

// A stand-in application: a script that appends its one argument to a file, or exits as told.
std::string writeApplication(const TempDir& dir, const std::string& body) {
    const std::string path = dir / "app";
    writeFile(path, "#!/bin/sh\n" + body + "\n");
    ::chmod(path.c_str(), 0755);
    return path;
}

TEST(MainAppLauncherTest, HandsTheURLUnchangedAndReportsItTakenOnceTheProcessEnds) {
    TempDir dir;
    const std::string received = dir / "received";
    const std::string app =
        writeApplication(dir, "sleep 0.2; printf '%s' \"$1\" > '" + received + "'; exit 3");
    const std::string url =
        "quentaapp://create?type=markdown&path=/tmp/a%20b%26c%3D%2B%25%23%3F%0A%E4%B8%AD";
    Outcomes outcomes;
    MainAppLauncher launcher(app);
    launcher.openWithMainApplication(url, outcomes.record());
    ASSERT_TRUE(launcher.waitForRequests(10s));
    // Taken means the application ran to its end and read its argument; its own exit status is
    // the application's business.
    EXPECT_EQ(readFile(received), url);
    const std::lock_guard lock(outcomes.mutex);
    ASSERT_EQ(outcomes.seen.size(), 1U);
    EXPECT_FALSE(outcomes.seen[0].has_value());
}

TEST(MainAppLauncherTest, AMissingOrUnstartableApplicationIsReportedAsAnError) {
    TempDir dir;
    Outcomes outcomes;
    MainAppLauncher missing(dir / "no-such-quentaapp");
    missing.openWithMainApplication("quentaapp://create?type=text", outcomes.record());
    {
        const std::lock_guard lock(outcomes.mutex);
        ASSERT_EQ(outcomes.seen.size(), 1U) << "a missing executable is reported at once";
        ASSERT_TRUE(outcomes.seen[0].has_value());
        EXPECT_EQ(outcomes.seen[0]->kind, ErrorKind::notFound);
        // The C library's words in the user's locale, whatever that is.
        EXPECT_EQ(outcomes.seen[0]->description, std::strerror(ENOENT));
    }
    EXPECT_TRUE(missing.waitForRequests(0ms));

    // A script whose interpreter is missing: the child starts but never reaches the request.
    const std::string broken = dir / "broken";
    writeFile(broken, "#!/nonexistent/interpreter\n");
    ::chmod(broken.c_str(), 0755);
    MainAppLauncher unstartable(broken);
    unstartable.openWithMainApplication("quentaapp://create?type=text", outcomes.record());
    ASSERT_TRUE(unstartable.waitForRequests(10s));
    const std::lock_guard lock(outcomes.mutex);
    ASSERT_EQ(outcomes.seen.size(), 2U);
    EXPECT_TRUE(outcomes.seen[1].has_value());
}

TEST(MainAppLauncherTest, WaitsForEveryRequestSentAndGivesUpAtTheBound) {
    TempDir dir;
    const std::string app = writeApplication(dir, "sleep \"$1\"");
    Outcomes outcomes;
    MainAppLauncher launcher(app);
    launcher.openWithMainApplication("0.1", outcomes.record());
    launcher.openWithMainApplication("1.5", outcomes.record());
    EXPECT_FALSE(launcher.waitForRequests(300ms));
    EXPECT_TRUE(launcher.waitForRequests(10s));
    const std::lock_guard lock(outcomes.mutex);
    EXPECT_EQ(outcomes.seen.size(), 2U);
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
