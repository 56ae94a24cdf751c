#include "adapters/linux/posix/main_app_launcher.hpp"

#include "adapters/linux/posix/child_process.hpp"
#include "adapters/linux/posix/posix_error.hpp"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace quenta::linux_platform {
namespace {

// How often a child's end is looked for where the kernel cannot signal it (no pidfd).
constexpr int kPollMilliseconds = 5;

// The outcome of waiting for a child: its wait status, or why there is none.
struct ChildEnd {
    std::optional<int> status;
    bool abandoned = false;  // `stop` became readable first; the child is left running
    int error = 0;           // the wait itself failed
};

// Waits until the child ends or `stop` becomes readable, whichever comes first.
ChildEnd waitForChildUnlessStopped(pid_t pid, int stop) {
    // Through syscall(): the C library's header for pidfd_open lacks C linkage for C++.
    const UniqueFd ended(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    while (true) {
        if (ended.valid()) {
            pollfd fds[2] = {{ended.get(), POLLIN, 0}, {stop, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0 && errno != EINTR) {
                return {std::nullopt, false, errno};
            }
            if ((fds[1].revents & POLLIN) != 0) {
                return {std::nullopt, true, 0};
            }
            if (fds[0].revents != 0) {
                const std::optional<int> status = waitForChild(pid);
                return {status, false, status ? 0 : errno};
            }
            continue;
        }
        int status = 0;
        const pid_t waited = ::waitpid(pid, &status, WNOHANG);
        if (waited == pid) {
            return {status, false, 0};
        }
        if (waited < 0 && errno != EINTR) {
            return {std::nullopt, false, errno};
        }
        pollfd stopped{stop, POLLIN, 0};
        if (::poll(&stopped, 1, kPollMilliseconds) == 1) {
            return {std::nullopt, true, 0};
        }
    }
}

// A memory file holding the URL and a line feed, positioned at its start, to become the
// application's standard input.
UniqueFd requestFile(const std::string& url, int& error) {
    UniqueFd file(::memfd_create("quentaapp-request", MFD_CLOEXEC));
    if (!file.valid()) {
        error = errno;
        return file;
    }
    const std::string text = url + "\n";
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t wrote = ::write(file.get(), text.data() + written, text.size() - written);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            error = wrote < 0 ? errno : EIO;
            return UniqueFd();
        }
        written += static_cast<std::size_t>(wrote);
    }
    if (::lseek(file.get(), 0, SEEK_SET) != 0) {
        error = errno;
        return UniqueFd();
    }
    return file;
}

}  // namespace

MainAppLauncher::MainAppLauncher(std::string applicationPath, MainQueue& mainQueue)
    : applicationPath_(std::move(applicationPath)),
      mainQueue_(mainQueue),
      stop_(::eventfd(0, EFD_CLOEXEC)) {}

MainAppLauncher::~MainAppLauncher() {
    if (stop_.valid()) {
        const std::uint64_t one = 1;
        ignoreResult(::write(stop_.get(), &one, sizeof one),
                     "an eventfd counter written once cannot be full");
    }
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
    const std::lock_guard lock(mutex_);
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
    SpawnedChild child;
    if (url.size() <= kLongestArgument) {
        child = spawnProgram(applicationPath_, {url});
    } else {
        const UniqueFd request = requestFile(url, child.error);
        if (request.valid()) {
            child = spawnProgram(applicationPath_, {"--stdin"}, request.get());
        }
    }
    if (child.error != 0) {
        mainQueue_.async(
            [done = std::move(completion), error = errorFromErrno(child.error)] { done(error); });
        return;
    }
    addWaiter([this, pid = child.pid, done = std::move(completion)]() mutable {
        const ChildEnd end = waitForChildUnlessStopped(pid, stop_.get());
        if (end.abandoned) {
            return;
        }
        // The application has taken the request once its process ends on its own; an exit status
        // of 127 or a signal means it never got as far as reading it.
        Status taken;
        if (!end.status) {
            taken = errorFromErrno(end.error);
        } else if (WIFSIGNALED(*end.status)) {
            taken = Error{ErrorKind::other, "the application ended by a signal"};
        } else if (WEXITSTATUS(*end.status) == 127) {
            taken = Error{ErrorKind::notFound, "the application could not be started"};
        }
        mainQueue_.async([done = std::move(done), taken = std::move(taken)] { done(taken); });
    });
}

void MainAppLauncher::openInBrowser(const std::string& url) {
    const SpawnedChild child = spawnProgram("/usr/bin/xdg-open", {url});
    if (child.error == 0) {
        addWaiter([this, pid = child.pid] {
            ignoreResult(waitForChildUnlessStopped(pid, stop_.get()),
                         "the browser's exit status says nothing about the page");
        });
    }
}

}  // namespace quenta::linux_platform
