#pragma once

#include "core/shared/request_url.hpp"
#include "core/shared/weak_ptr.hpp"
#include "ports/app_shell.hpp"
#include "ports/main_queue.hpp"

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quenta {

// Decides, at launch, between the two ways the application is started: by the person (the
// installer window comes up a moment after launching) or to deliver request URLs (no window).
// Owns the one installer window once it exists and hands every request URL to the request
// handler. The application object calls it on the main thread; the delayed launch step, and work
// the host defers, hold it weakly.
class AppDelegate {
  public:
    // How long after launching the installer window waits for request URLs that would suppress it.
    static constexpr std::chrono::milliseconds kLaunchWindowDelay{350};

    // Creates the installer window (titled, 600 x 292, centred, its ContentView inside); called
    // at most once.
    using WindowFactory = std::function<std::unique_ptr<AppWindow>()>;
    // Handles one request URL, exactly as received, from where it came, and returns once any
    // alert it shows has been dismissed.
    using RequestHandler = std::function<void(std::string_view url, RequestOrigin origin)>;

    AppDelegate(MainQueue& mainQueue, AppShell& shell, WindowFactory makeWindow,
                RequestHandler handle);

    // Launching has finished: schedules the launch step and returns at once.
    void applicationDidFinishLaunching();
    // Request URLs were delivered, all from `origin`: each is handled in the order given, then the
    // installer window, if it exists, is hidden. A delivery that arrives while an earlier one is
    // still being handled (an alert of it is on screen) is handled after it, in order.
    void applicationOpen(const std::vector<std::string>& urls,
                         RequestOrigin origin = RequestOrigin::host);
    // The person started the application again, or clicked it in the dock: shows the window.
    // Always true.
    bool applicationShouldHandleReopen(bool hasVisibleWindows);

    [[nodiscard]] bool handledURLDuringLaunch() const { return handledURLDuringLaunch_; }
    [[nodiscard]] AppWindow* mainWindow() const { return mainWindow_.get(); }
    [[nodiscard]] WeakPtr<AppDelegate> weakPtr() const { return weakFactory_.weakPtr(); }

  private:
    void showMainWindow(bool activate);

    MainQueue& mainQueue_;
    AppShell& shell_;
    WindowFactory makeWindow_;
    RequestHandler handle_;
    std::unique_ptr<AppWindow> mainWindow_;
    bool handledURLDuringLaunch_ = false;
    bool delivering_ = false;
    struct Delivery {
        std::vector<std::string> urls;
        RequestOrigin origin;
    };
    std::deque<Delivery> pendingDeliveries_;
    WeakPtrFactory<AppDelegate> weakFactory_{this};
};

}  // namespace quenta
