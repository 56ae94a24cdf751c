// AppDelegate over a manual main queue and a recording application shell: the launch step, URL
// deliveries and reopening.
#include "core/app/app_delegate.hpp"

#include "fakes/fixed_clock.hpp"
#include "fakes/manual_main_queue.hpp"
#include "fakes/recording_app_shell.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace quenta::testing {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class AppDelegateTest : public ::testing::Test {
  protected:
    std::shared_ptr<AppDelegate> makeDelegate() {
        return std::make_shared<AppDelegate>(
            queue, shell, [this] { return shell.makeWindow(); },
            [this](std::string_view url, RequestOrigin origin) {
                shell.events.push_back("handle " + std::string(url) +
                                       (origin == RequestOrigin::outside ? " from outside" : ""));
                if (onHandle) {
                    onHandle(url);
                }
            });
    }

    FixedClock clock;
    ManualMainQueue queue{clock};
    RecordingAppShell shell;
    std::function<void(std::string_view)> onHandle;
    std::shared_ptr<AppDelegate> delegate = makeDelegate();
};

TEST_F(AppDelegateTest, StartedByThePersonShowsTheWindowAfterTheLaunchStep) {
    delegate->applicationDidFinishLaunching();
    EXPECT_EQ(delegate->mainWindow(), nullptr);
    queue.advance(349ms);
    EXPECT_THAT(shell.events, IsEmpty());
    queue.advance(1ms);
    EXPECT_THAT(shell.events, ElementsAre("window 1: made", "window 1: front", "activate"));
    EXPECT_NE(delegate->mainWindow(), nullptr);
    EXPECT_FALSE(delegate->handledURLDuringLaunch());
}

TEST_F(AppDelegateTest, AURLDeliveredBeforeTheLaunchStepSuppressesTheWindow) {
    delegate->applicationOpen({"quentaapp://create?type=markdown&path=/tmp"});
    delegate->applicationDidFinishLaunching();  // the delivery may come first
    EXPECT_TRUE(delegate->handledURLDuringLaunch());
    queue.advance(10s);
    EXPECT_THAT(shell.events, ElementsAre("handle quentaapp://create?type=markdown&path=/tmp"))
        << "handled, nothing hidden since no window exists, and no window made";
    EXPECT_EQ(delegate->mainWindow(), nullptr);

    // A later reopen creates and shows the window.
    EXPECT_TRUE(delegate->applicationShouldHandleReopen(false));
    EXPECT_THAT(shell.events, ElementsAre("handle quentaapp://create?type=markdown&path=/tmp",
                                          "window 1: made", "window 1: front", "activate"));
}

TEST_F(AppDelegateTest, AURLAfterTheLaunchStepIsHandledThenTheWindowIsHidden) {
    delegate->applicationDidFinishLaunching();
    queue.advance(350ms);
    shell.events.clear();
    delegate->applicationOpen({"quentaapp://folder?path=/tmp"});
    EXPECT_THAT(shell.events, ElementsAre("handle quentaapp://folder?path=/tmp", "window 1: out"))
        << "the application is neither activated nor hidden";
    EXPECT_TRUE(delegate->handledURLDuringLaunch());
}

TEST_F(AppDelegateTest, SeveralURLsAreHandledInOrderAndTheWindowHiddenOnce) {
    delegate->applicationShouldHandleReopen(true);
    shell.events.clear();
    delegate->applicationOpen({"quentaapp://a", "quentaapp://bad", "quentaapp://c"});
    EXPECT_THAT(shell.events, ElementsAre("handle quentaapp://a", "handle quentaapp://bad",
                                          "handle quentaapp://c", "window 1: out"));
}

TEST_F(AppDelegateTest, ADeliveryDuringAnAlertWaitsForTheDeliveryBeingHandled) {
    // The first request shows an alert, and while it is on screen the platform delivers more.
    onHandle = [this](std::string_view url) {
        if (url == "quentaapp://first") {
            delegate->applicationOpen({"quentaapp://second"}, RequestOrigin::outside);
            shell.events.emplace_back("alert dismissed");
        }
    };
    delegate->applicationShouldHandleReopen(true);
    shell.events.clear();
    delegate->applicationOpen({"quentaapp://first", "quentaapp://also-first"});
    EXPECT_THAT(
        shell.events,
        ElementsAre("handle quentaapp://first", "alert dismissed", "handle quentaapp://also-first",
                    "window 1: out", "handle quentaapp://second from outside", "window 1: out"));
}

TEST_F(AppDelegateTest, AReopenBeforeTheLaunchStepShowsTheWindowWhichTheStepBringsForward) {
    delegate->applicationDidFinishLaunching();
    EXPECT_TRUE(delegate->applicationShouldHandleReopen(false));
    EXPECT_THAT(shell.events, ElementsAre("window 1: made", "window 1: front", "activate"));
    queue.advance(350ms);
    EXPECT_THAT(shell.events, ElementsAre("window 1: made", "window 1: front", "activate",
                                          "window 1: front", "activate"));
    EXPECT_EQ(shell.windowsMade, 1);
}

TEST_F(AppDelegateTest, ReopenAlwaysAnswersTrueAndShowsTheSameWindow) {
    EXPECT_TRUE(delegate->applicationShouldHandleReopen(true));
    AppWindow* first = delegate->mainWindow();
    delegate->applicationOpen({"quentaapp://x"});  // hides it
    EXPECT_TRUE(delegate->applicationShouldHandleReopen(false));
    EXPECT_EQ(delegate->mainWindow(), first);
    EXPECT_EQ(shell.windowsMade, 1);
    const auto* window = dynamic_cast<RecordingAppShell::Window*>(first);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->visible);
}

TEST_F(AppDelegateTest, TheLaunchStepDoesNothingOnceTheDelegateIsGone) {
    delegate->applicationDidFinishLaunching();
    delegate.reset();
    EXPECT_EQ(queue.advance(1s), 1);
    EXPECT_THAT(shell.events, IsEmpty());
}

}  // namespace
}  // namespace quenta::testing
