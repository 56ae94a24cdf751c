// The launcher with real child processes and a real main queue: the completion reports whether the
// application took the request, always on the main thread; a request too long for one argument
// reaches the application whole; and a long-lived host does not pile up the threads that waited
// for earlier requests.
#include "adapters/linux/posix/main_app_launcher.hpp"

#include "adapters/linux/gio/main_queue_glib.hpp"
#include "support/temp_dir.hpp"

#include <glib.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace quenta::testing {
namespace {

using linux_platform::MainAppLauncher;
using linux_platform::MainQueueGlib;
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

// A stand-in application: a shell script with the given body.
std::string writeApplication(const TempDir& dir, const std::string& body) {
    const std::string path = dir / "app";
    writeFile(path, "#!/bin/sh\n" + body + "\n");
    ::chmod(path.c_str(), 0755);
    return path;
}

class MainAppLauncherTest : public ::testing::Test {
  protected:
    ~MainAppLauncherTest() override { g_main_context_unref(context); }

    // Records each completion, failing the test when one arrives off the main thread.
    ApplicationLauncher::Completion record() {
        return [this](const Status& sent) {
            EXPECT_EQ(std::this_thread::get_id(), mainThread);
            seen.push_back(sent);
        };
    }
    // Iterates the main context until `count` completions have arrived, at most 10 s.
    void runUntilSeen(std::size_t count) {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (seen.size() < count && std::chrono::steady_clock::now() < deadline) {
            g_main_context_iteration(context, FALSE);
            std::this_thread::sleep_for(1ms);
        }
        ASSERT_EQ(seen.size(), count);
    }

    GMainContext* context = g_main_context_new();
    MainQueueGlib mainQueue{context};
    std::thread::id mainThread = std::this_thread::get_id();
    std::vector<Status> seen;
    TempDir dir;
};

TEST_F(MainAppLauncherTest, HandsTheURLWholeAsArgumentOrOnStandardInputWhenTooLong) {
    const std::string received = dir / "received";
    // The script writes its arguments, then what it reads from standard input.
    const std::string app = writeApplication(dir, "sleep 0.1; printf '%s|' \"$@\" > '" + received +
                                                      "'; cat >> '" + received + "'; exit 3");
    const std::string shortURL =
        "quentaapp://create?type=markdown&path=/tmp/a%20b%26c%3D%2B%25%23%3F%0A%E4%B8%AD";
    // Beyond the kernel's 128 KiB for one argument: a trash of thousands of items.
    std::string longURL = "quentaapp://trash?";
    while (longURL.size() <= 200 * 1024) {
        longURL += "path=/tmp/some%20item&";
    }
    const struct {
        std::string url;
        std::string handedOver;
    } cases[] = {
        {shortURL, shortURL + "|"},
        {longURL, "--stdin|" + longURL + "\n"},
    };
    MainAppLauncher launcher(app, mainQueue);
    for (const auto& c : cases) {
        seen.clear();
        launcher.openWithMainApplication(c.url, record());
        runUntilSeen(1);
        // Taken means the application ran to its end and read its request; its own exit status
        // is the application's business.
        EXPECT_TRUE(seen[0].ok()) << seen[0].error();
        EXPECT_EQ(readFile(received), c.handedOver);
    }
}

TEST_F(MainAppLauncherTest, AMissingOrUnstartableApplicationIsReportedThroughTheMainQueue) {
    MainAppLauncher missing(dir / "no-such-quentaapp", mainQueue);
    missing.openWithMainApplication("quentaapp://create?type=text", record());
    EXPECT_TRUE(seen.empty()) << "never inline, as a request that started";
    runUntilSeen(1);
    ASSERT_FALSE(seen[0].ok());
    EXPECT_EQ(seen[0].error().kind, ErrorKind::notFound);
    // The C library's words in the user's locale, whatever that is.
    EXPECT_EQ(seen[0].error().description, std::strerror(ENOENT));

    // A script whose interpreter is missing: the child starts but never reaches the request.
    const std::string broken = dir / "broken";
    writeFile(broken, "#!/nonexistent/interpreter\n");
    ::chmod(broken.c_str(), 0755);
    MainAppLauncher unstartable(broken, mainQueue);
    unstartable.openWithMainApplication("quentaapp://create?type=text", record());
    runUntilSeen(2);
    EXPECT_FALSE(seen[1].ok());
}

TEST_F(MainAppLauncherTest, DestroyingTheLauncherStopsWaitingForARequestInFlight) {
    const std::string app = writeApplication(dir, "exec sleep 10");
    const auto started = std::chrono::steady_clock::now();
    {
        MainAppLauncher launcher(app, mainQueue);
        launcher.openWithMainApplication("quentaapp://folder?path=/tmp", record());
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);
    while (g_main_context_iteration(context, FALSE)) {
    }
    EXPECT_TRUE(seen.empty()) << "no completion for an abandoned request";
}

TEST_F(MainAppLauncherTest, WaitersOfTakenRequestsAreJoined) {
    MainAppLauncher launcher("/bin/true", mainQueue);
    const long before = mappedKilobytes();
    for (std::size_t i = 1; i <= 80; ++i) {
        launcher.openWithMainApplication("quentaapp://folder?path=/tmp", record());
        runUntilSeen(i);
        ASSERT_TRUE(seen.back().ok());
    }
    // Joined waiters' stacks are reused, and a thread's malloc arena may stay reserved (64 MB);
    // 80 waiters never joined would keep some 640 MB of stacks mapped.
    EXPECT_LT(mappedKilobytes() - before, 256 * 1024);
}

}  // namespace
}  // namespace quenta::testing
