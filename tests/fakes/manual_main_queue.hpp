#pragma once

#include "fakes/fixed_clock.hpp"
#include "ports/main_queue.hpp"

#include <chrono>
#include <cstdint>
#include <map>
#include <utility>

namespace quenta::testing {

// A main queue that runs nothing until the test says so. Its time is the given FixedClock: tasks
// queued with a delay become due when the test advances that clock through this queue.
class ManualMainQueue : public MainQueue {
  public:
    explicit ManualMainQueue(FixedClock& clock) : clock_(clock) {}

    void async(Task task) override { asyncAfter(std::chrono::milliseconds(0), std::move(task)); }
    void asyncAfter(std::chrono::milliseconds delay, Task task) override {
        tasks_.emplace(Key{clock_.now() + delay, nextSequence_++}, std::move(task));
    }

    // Runs every task that is due now, including those queued by the tasks it runs. Returns how
    // many ran.
    int runUntilIdle() { return runDueBy(clock_.now()); }

    // Moves the clock forward, running each task when its time comes, in order.
    int advance(std::chrono::system_clock::duration by) {
        const auto until = clock_.now() + by;
        const int ran = runDueBy(until);
        clock_.set(until);
        return ran;
    }

    [[nodiscard]] std::size_t pendingCount() const { return tasks_.size(); }

  private:
    using Key = std::pair<std::chrono::system_clock::time_point, std::uint64_t>;

    int runDueBy(std::chrono::system_clock::time_point until) {
        int ran = 0;
        while (!tasks_.empty() && tasks_.begin()->first.first <= until) {
            auto node = tasks_.extract(tasks_.begin());
            if (node.key().first > clock_.now()) {
                clock_.set(node.key().first);
            }
            node.mapped()();
            ++ran;
        }
        return ran;
    }

    FixedClock& clock_;
    std::map<Key, Task> tasks_;
    std::uint64_t nextSequence_ = 0;
};

}  // namespace quenta::testing
