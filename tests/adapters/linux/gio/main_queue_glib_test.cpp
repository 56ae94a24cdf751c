#include "adapters/linux/gio/main_queue_glib.hpp"

#include <glib.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

namespace quenta::testing {
namespace {

using linux_platform::MainQueueGlib;
using namespace std::chrono_literals;

class MainQueueGlibTest : public ::testing::Test {
  protected:
    ~MainQueueGlibTest() override { g_main_context_unref(context); }

    // Iterates the context until `done` or 10 s have passed.
    template <class Done>
    void runUntil(Done done) {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!done() && std::chrono::steady_clock::now() < deadline) {
            g_main_context_iteration(context, FALSE);
            std::this_thread::sleep_for(1ms);
        }
    }

    GMainContext* context = g_main_context_new();
};

TEST_F(MainQueueGlibTest, RunsTasksInOrderAndDelayedOnesLater) {
    MainQueueGlib queue(context);
    std::string order;
    const auto started = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration delayedAfter{};
    queue.asyncAfter(150ms, [&] {
        order += 'd';
        delayedAfter = std::chrono::steady_clock::now() - started;
    });
    for (char c : std::string("abc")) {
        queue.async([&order, c] { order += c; });
    }
    EXPECT_EQ(order, "") << "nothing runs before the loop does";
    runUntil([&] { return order.size() == 4; });
    EXPECT_EQ(order, "abcd");
    EXPECT_GE(delayedAfter, 150ms);
}

TEST_F(MainQueueGlibTest, TasksQueuedFromOtherThreadsRunOnTheLoopsThread) {
    MainQueueGlib queue(context);
    int ran = 0;
    bool allOnMain = true;
    const auto mainThread = std::this_thread::get_id();
    std::thread other([&] {
        for (int i = 0; i < 100; ++i) {
            queue.async([&] {
                allOnMain = allOnMain && std::this_thread::get_id() == mainThread;
                ++ran;
            });
        }
    });
    runUntil([&] { return ran == 100; });
    other.join();
    EXPECT_EQ(ran, 100);
    EXPECT_TRUE(allOnMain);
}

TEST_F(MainQueueGlibTest, TasksLeftWhenTheQueueGoesAreDroppedThoughTheLoopRunsOn) {
    int ran = 0;
    {
        MainQueueGlib queue(context);
        queue.async([&ran] { ++ran; });
        queue.asyncAfter(1ms, [&ran] { ++ran; });
    }
    const auto deadline = std::chrono::steady_clock::now() + 50ms;
    while (std::chrono::steady_clock::now() < deadline) {
        g_main_context_iteration(context, FALSE);
    }
    EXPECT_EQ(ran, 0);
}

TEST_F(MainQueueGlibTest, TasksLeftWhenTheContextGoesAreDroppedNotRun) {
    auto* scratch = g_main_context_new();
    int ran = 0;
    {
        MainQueueGlib queue(scratch);
        queue.async([&ran] { ++ran; });
        queue.asyncAfter(1h, [&ran] { ++ran; });
    }
    g_main_context_unref(scratch);  // frees the pending tasks; ASan reports a leak otherwise
    EXPECT_EQ(ran, 0);
}

}  // namespace
}  // namespace quenta::testing
