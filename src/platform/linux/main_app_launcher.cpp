#include "platform/linux/main_app_launcher.hpp"

#include "platform/linux/posix_error.hpp"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

extern char** environ;

namespace quenta::linux_platform {
namespace {

// Starts the program with its standard input from /dev/null; the pid, or an errno value.
std::pair<pid_t, int> spawn(const std::string& program, const std::string& argument) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", 0, 0);
    std::string name = program;
    std::string arg = argument;
    char* argv[] = {name.data(), arg.data(), nullptr};
    pid_t pid = 0;
    const int result = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    return {pid, result};
}

}  // namespace

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
    const auto [pid, spawnError] = spawn(applicationPath_, url);
    if (spawnError != 0) {
        completion(errorFromErrno(spawnError));
        return;
    }
    const std::lock_guard lock(mutex_);
    ++pending_;
    addWaiter([this, child = pid, done = std::move(completion)] {
        int status = 0;
        pid_t waited = 0;
        do {
            waited = ::waitpid(child, &status, 0);
        } while (waited < 0 && errno == EINTR);
        // The application has taken the request once its process ends on its own; an exit status
        // of 127 or a signal means it never got as far as reading it.
        if (waited < 0) {
            done(errorFromErrno(errno));
        } else if (WIFSIGNALED(status)) {
            done(Error{ErrorKind::other, "the application ended by a signal"});
        } else if (WEXITSTATUS(status) == 127) {
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
    const auto [pid, spawnError] = spawn("/usr/bin/xdg-open", url);
    if (spawnError == 0) {
        const std::lock_guard lock(mutex_);
        addWaiter([child = pid] {
            int status = 0;
            while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
        });
    }
}

bool MainAppLauncher::waitForRequests(std::chrono::milliseconds bound) {
    std::unique_lock lock(mutex_);
    return requestTaken_.wait_for(lock, bound, [this] { return pending_ == 0; });
}

}  // namespace quenta::linux_platform
