#include "adapters/linux/posix/main_app_launcher.hpp"

#include "adapters/linux/posix/child_process.hpp"
#include "adapters/linux/posix/posix_error.hpp"

#include <sys/wait.h>

#include <cerrno>
#include <optional>
#include <utility>

namespace quenta::linux_platform {

MainAppLauncher::MainAppLauncher(std::string applicationPath)
    : applicationPath_(std::move(applicationPath)) {}

MainAppLauncher::~MainAppLauncher() {
    std::list<std::unique_ptr<Waiter>> waiters;
    {
        const std::lock_guard lock(mutex_);
        waiters.swap(waiters_);
    }
    for (auto& waiter : waiters) {
        waiter->thread.join();
    }
}

void MainAppLauncher::addWaiter(std::function<void()> wait) {
    for (auto it = waiters_.begin(); it != waiters_.end();) {
        if ((*it)->finished.load()) {
            (*it)->thread.join();
            it = waiters_.erase(it);
        } else {
            ++it;
        }
    }
    auto waiter = std::make_unique<Waiter>();
    Waiter* self = waiter.get();
    waiter->thread = std::thread([self, run = std::move(wait)] {
        run();
        self->finished = true;
    });
    waiters_.push_back(std::move(waiter));
}

void MainAppLauncher::openWithMainApplication(const std::string& url, Completion completion) {
    const SpawnedChild child = spawnProgram(applicationPath_, {url});
    if (child.error != 0) {
        completion(errorFromErrno(child.error));
        return;
    }
    const std::lock_guard lock(mutex_);
    ++pending_;
    addWaiter([this, pid = child.pid, done = std::move(completion)] {
        const std::optional<int> status = waitForChild(pid);
        // The application has taken the request once its process ends on its own; an exit status
        // of 127 or a signal means it never got as far as reading it.
        if (!status) {
            done(errorFromErrno(errno));
        } else if (WIFSIGNALED(*status)) {
            done(Error{ErrorKind::other, "the application ended by a signal"});
        } else if (WEXITSTATUS(*status) == 127) {
            done(Error{ErrorKind::notFound, "the application could not be started"});
        } else {
            done(std::nullopt);
        }
        const std::lock_guard doneLock(mutex_);
        --pending_;
        requestTaken_.notify_all();
    });
}

void MainAppLauncher::openInBrowser(const std::string& url) {
    const SpawnedChild child = spawnProgram("/usr/bin/xdg-open", {url});
    if (child.error == 0) {
        const std::lock_guard lock(mutex_);
        addWaiter([pid = child.pid] { static_cast<void>(waitForChild(pid)); });
    }
}

bool MainAppLauncher::waitForRequests(std::chrono::milliseconds bound) {
    std::unique_lock lock(mutex_);
    return requestTaken_.wait_for(lock, bound, [this] { return pending_ == 0; });
}

}  // namespace quenta::linux_platform
