#include "adapters/linux/gio/main_queue_glib.hpp"

#include <algorithm>
#include <utility>

namespace quenta::linux_platform {

// The sources this queue has attached and not yet finished, by ID, so the queue can remove them
// when it goes. Shared with each source, which may finish after the queue is gone.
struct MainQueueGlib::Pending {
    std::mutex mutex;
    std::set<guint> sources;
    bool closed = false;
};

namespace {

struct QueuedTask {
    MainQueue::Task task;
    std::shared_ptr<MainQueueGlib::Pending> pending;
    guint source = 0;
};

gboolean runTask(gpointer data) {
    static_cast<QueuedTask*>(data)->task();
    return G_SOURCE_REMOVE;
}

// Called once the source has run or was removed: the task is released either way.
void deleteTask(gpointer data) {
    auto* queued = static_cast<QueuedTask*>(data);
    {
        const std::lock_guard lock(queued->pending->mutex);
        queued->pending->sources.erase(queued->source);
    }
    delete queued;
}

}  // namespace

MainQueueGlib::MainQueueGlib(GMainContext* context)
    : context_(g_main_context_ref(context != nullptr ? context : g_main_context_default())),
      pending_(std::make_shared<Pending>()) {}

MainQueueGlib::~MainQueueGlib() {
    std::set<guint> sources;
    {
        const std::lock_guard lock(pending_->mutex);
        pending_->closed = true;
        sources.swap(pending_->sources);
    }
    // Outside the lock: removing a source releases its task, which takes the lock.
    for (const guint id : sources) {
        if (GSource* source = g_main_context_find_source_by_id(context_, id)) {
            g_source_destroy(source);
        }
    }
    g_main_context_unref(context_);
}

void MainQueueGlib::async(Task task) {
    attach(g_idle_source_new(), std::move(task));
}

void MainQueueGlib::asyncAfter(std::chrono::milliseconds delay, Task task) {
    const auto milliseconds =
        std::clamp<std::chrono::milliseconds::rep>(delay.count(), 0, G_MAXUINT);
    attach(g_timeout_source_new(static_cast<guint>(milliseconds)), std::move(task));
}

void MainQueueGlib::attach(GSource* source, Task task) {
    // The default priority rather than the idle one, so the queued work keeps its place among
    // input events and is not held back by continuous idle work such as redrawing.
    g_source_set_priority(source, G_PRIORITY_DEFAULT);
    auto* queued = new QueuedTask{std::move(task), pending_};
    const std::lock_guard lock(pending_->mutex);
    if (pending_->closed) {
        // Posted while the queue is being destroyed: dropped.
        g_source_unref(source);
        delete queued;
        return;
    }
    g_source_set_callback(source, runTask, queued, deleteTask);
    // The source cannot finish before its ID is recorded: finishing takes the lock held here.
    queued->source = g_source_attach(source, context_);
    pending_->sources.insert(queued->source);
    g_source_unref(source);
}

}  // namespace quenta::linux_platform
