#pragma once

#include "ports/application_launcher.hpp"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace quenta::linux_platform {

// Hands request URLs to the main application by starting its executable, at a path fixed when the
// project was built, with the URL as its one argument. The completion runs on a waiter thread once
// the application has taken the request (its process has ended), or at once when it cannot start.
// Web addresses go to the desktop's default handler through xdg-open. Waiter threads that have
// ended are joined when the next URL is handed over, so a long-lived host (the Nautilus module)
// keeps no more threads than it has requests in flight.
class MainAppLauncher : public ApplicationLauncher {
  public:
    explicit MainAppLauncher(std::string applicationPath);
    ~MainAppLauncher() override;
    MainAppLauncher(const MainAppLauncher&) = delete;
    MainAppLauncher& operator=(const MainAppLauncher&) = delete;

    void openWithMainApplication(const std::string& url, Completion completion) override;
    void openInBrowser(const std::string& url) override;

    // Waits until every request sent so far has been taken, at most `bound`; true when all were.
    bool waitForRequests(std::chrono::milliseconds bound);

  private:
    struct Waiter {
        std::thread thread;
        std::atomic<bool> finished{false};  // set as the thread's last step
    };

    // Starts a waiter thread running `wait`; joins the waiters that have ended. Holds the mutex.
    void addWaiter(std::function<void()> wait);

    std::string applicationPath_;
    std::mutex mutex_;
    std::condition_variable requestTaken_;
    std::list<std::unique_ptr<Waiter>> waiters_;
    int pending_ = 0;
};

}  // namespace quenta::linux_platform
