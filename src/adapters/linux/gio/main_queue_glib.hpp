#pragma once

#include "ports/main_queue.hpp"

#include <glib.h>

#include <memory>
#include <mutex>
#include <set>

namespace quenta::linux_platform {

// The main queue as sources of a GLib main context: the tasks run while the main thread iterates
// that context (the GTK application's main loop, or a GMainLoop of a headless run). Tasks still
// queued when the queue is destroyed are dropped without running (their sources are removed
// from the context, which may live on), and so are tasks posted while it is being destroyed.
// Destroy it on the main thread.
class MainQueueGlib : public MainQueue {
  public:
    // `context` null means GLib's default main context.
    explicit MainQueueGlib(GMainContext* context = nullptr);
    ~MainQueueGlib() override;
    MainQueueGlib(const MainQueueGlib&) = delete;
    MainQueueGlib& operator=(const MainQueueGlib&) = delete;

    void async(Task task) override;
    void asyncAfter(std::chrono::milliseconds delay, Task task) override;

    struct Pending;

  private:
    void attach(GSource* source, Task task);

    GMainContext* context_;
    std::shared_ptr<Pending> pending_;
};

}  // namespace quenta::linux_platform
