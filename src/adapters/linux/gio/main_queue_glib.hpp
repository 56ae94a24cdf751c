#pragma once

#include "ports/main_queue.hpp"

#include <glib.h>

namespace quenta::linux_platform {

// The main queue as sources of a GLib main context: the tasks run while the main thread iterates
// that context (the GTK application's main loop, or a GMainLoop of a headless run). Tasks still
// queued when the context is destroyed are dropped without running.
class MainQueueGlib : public MainQueue {
  public:
    // `context` null means GLib's default main context.
    explicit MainQueueGlib(GMainContext* context = nullptr);
    ~MainQueueGlib() override;
    MainQueueGlib(const MainQueueGlib&) = delete;
    MainQueueGlib& operator=(const MainQueueGlib&) = delete;

    void async(Task task) override;
    void asyncAfter(std::chrono::milliseconds delay, Task task) override;

  private:
    void attach(GSource* source, Task task);

    GMainContext* context_;
};

}  // namespace quenta::linux_platform
