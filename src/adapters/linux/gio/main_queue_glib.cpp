#include "adapters/linux/gio/main_queue_glib.hpp"

#include <algorithm>
#include <utility>

namespace quenta::linux_platform {

namespace {

gboolean runTask(gpointer data) {
    (*static_cast<MainQueue::Task*>(data))();
    return G_SOURCE_REMOVE;
}

void deleteTask(gpointer data) {
    delete static_cast<MainQueue::Task*>(data);
}

}  // namespace

MainQueueGlib::MainQueueGlib(GMainContext* context)
    : context_(g_main_context_ref(context != nullptr ? context : g_main_context_default())) {}

MainQueueGlib::~MainQueueGlib() {
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
    g_source_set_callback(source, runTask, new Task(std::move(task)), deleteTask);
    g_source_attach(source, context_);
    g_source_unref(source);
}

}  // namespace quenta::linux_platform
