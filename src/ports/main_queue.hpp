#pragma once

#include <chrono>
#include <functional>

namespace quenta {

// The main thread's queue of deferred work: tasks run one after another on the main thread, in the
// order they became due. `async` and `asyncAfter` may be called from any thread.
class MainQueue {
  public:
    using Task = std::function<void()>;

    virtual ~MainQueue() = default;

    // Runs the task on the main thread soon, after the work already queued.
    virtual void async(Task task) = 0;
    // Runs the task on the main thread once the delay has passed.
    virtual void asyncAfter(std::chrono::milliseconds delay, Task task) = 0;
};

}  // namespace quenta
