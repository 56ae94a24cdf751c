#include "adapters/linux/gtk3/gtk3_window_reveals.hpp"

#include "core/shared/file_paths.hpp"

#include <algorithm>
#include <string>
#include <utility>

namespace quenta::linux_platform {

struct Gtk3WindowReveals::Window {
    GtkWidget* toplevel;
    std::optional<std::string> folder;
};

Gtk3WindowReveals::Gtk3WindowReveals()
    : service_([this](const std::vector<std::string>& paths) { return show(paths); }) {}

Gtk3WindowReveals::~Gtk3WindowReveals() {
    for (const Window& window : windows_) {
        g_object_weak_unref(G_OBJECT(window.toplevel), windowGone, this);
    }
}

void Gtk3WindowReveals::commandGiven(GObject* widget, const std::optional<std::string>& folder) {
    GtkWidget* toplevel = widget != nullptr && GTK_IS_WIDGET(widget)
                              ? gtk_widget_get_toplevel(GTK_WIDGET(widget))
                              : nullptr;
    if (toplevel == nullptr || !GTK_IS_WINDOW(toplevel)) {
        return;
    }
    const auto known = std::find_if(windows_.begin(), windows_.end(), [&](const Window& window) {
        return window.toplevel == toplevel;
    });
    if (known != windows_.end()) {
        windows_.erase(known);
    } else {
        g_object_weak_ref(G_OBJECT(toplevel), windowGone, this);
    }
    windows_.push_back({toplevel, folder});
}

bool Gtk3WindowReveals::show(const std::vector<std::string>& paths) {
    if (paths.empty()) {
        return false;
    }
    const std::string folder = parentPath(trimmingTrailingSlashes(paths.front()));
    for (auto window = windows_.rbegin(); window != windows_.rend(); ++window) {
        if (window->folder == folder) {
            gtk_window_present(GTK_WINDOW(window->toplevel));
            return true;
        }
    }
    return false;
}

void Gtk3WindowReveals::windowGone(gpointer self, GObject* window) {
    auto& windows = static_cast<Gtk3WindowReveals*>(self)->windows_;
    std::erase_if(windows, [&](const Window& known) { return G_OBJECT(known.toplevel) == window; });
}

}  // namespace quenta::linux_platform
