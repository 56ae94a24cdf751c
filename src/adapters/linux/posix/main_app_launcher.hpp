#pragma once

#include "adapters/linux/posix/unique_fd.hpp"
#include "ports/application_launcher.hpp"
#include "ports/main_queue.hpp"

#include <atomic>
#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace quenta::linux_platform {

// Hands request URLs to the main application by starting its executable, at a path fixed when the
// project was built. A URL of up to kLongestArgument bytes is its one argument; a longer one (a
// trash of thousands of items) would exceed the kernel's limit for one argument, so it goes on the
// application's standard input instead, read from a memory file, behind the option --stdin.
// A waiter thread waits until the application has taken the request (its process has ended); the
// completion is then posted to the main queue, and so is the error when the application cannot be
// started: every completion runs on the main thread, after openWithMainApplication has returned.
// Web addresses go to the desktop's default handler through xdg-open. Waiter threads that have
// ended are joined when the next URL is handed over, so a long-lived host (the Nautilus module)
// keeps no more threads than it has requests in flight. Destroying the launcher stops waiting for
// the requests still in flight, without a completion; their processes are left running.
class MainAppLauncher : public ApplicationLauncher {
  public:
    static constexpr std::size_t kLongestArgument = std::size_t{64} * 1024;

    // `mainQueue` outlives the launcher.
    MainAppLauncher(std::string applicationPath, MainQueue& mainQueue);
    ~MainAppLauncher() override;
    MainAppLauncher(const MainAppLauncher&) = delete;
    MainAppLauncher& operator=(const MainAppLauncher&) = delete;

    void openWithMainApplication(const std::string& url, Completion completion) override;
    void openInBrowser(const std::string& url) override;

  private:
    struct Waiter {
        std::thread thread;
        std::atomic<bool> finished{false};  // set as the thread's last step
    };

    // Starts a waiter thread running `wait`; joins the waiters that have ended.
    void addWaiter(std::function<void()> wait);

    std::string applicationPath_;
    MainQueue& mainQueue_;
    UniqueFd stop_;  // an eventfd that becomes readable when the launcher is being destroyed
    std::mutex mutex_;
    std::list<std::unique_ptr<Waiter>> waiters_;
};

}  // namespace quenta::linux_platform
