#include "core/app/app_delegate.hpp"

#include <utility>

namespace quenta {

AppDelegate::AppDelegate(MainQueue& mainQueue, AppShell& shell, WindowFactory makeWindow,
                         RequestHandler handle)
    : mainQueue_(mainQueue),
      shell_(shell),
      makeWindow_(std::move(makeWindow)),
      handle_(std::move(handle)) {}

void AppDelegate::applicationDidFinishLaunching() {
    mainQueue_.asyncAfter(kLaunchWindowDelay, [weak = weakPtr()] {
        AppDelegate* self = weak.get();
        if (self == nullptr || self->handledURLDuringLaunch_) {
            return;
        }
        self->showMainWindow(true);
    });
}

void AppDelegate::applicationOpen(const std::vector<std::string>& urls, RequestOrigin origin) {
    handledURLDuringLaunch_ = true;
    pendingDeliveries_.push_back({urls, origin});
    if (delivering_) {
        // A request of the delivery being handled shows an alert, and the platform delivered more
        // URLs while it waits for the person: they are handled once the current ones are done.
        return;
    }
    delivering_ = true;
    while (!pendingDeliveries_.empty()) {
        const Delivery delivery = std::move(pendingDeliveries_.front());
        pendingDeliveries_.pop_front();
        for (const auto& url : delivery.urls) {
            handle_(url, delivery.origin);
        }
        if (mainWindow_) {
            mainWindow_->orderOut();
        }
    }
    delivering_ = false;
}

bool AppDelegate::applicationShouldHandleReopen(bool hasVisibleWindows) {
    static_cast<void>(hasVisibleWindows);
    showMainWindow(true);
    return true;
}

void AppDelegate::showMainWindow(bool activate) {
    if (!mainWindow_) {
        mainWindow_ = makeWindow_();
    }
    if (mainWindow_) {
        mainWindow_->makeKeyAndOrderFront();
    }
    if (activate) {
        shell_.activateIgnoringOtherApps();
    }
}

}  // namespace quenta
