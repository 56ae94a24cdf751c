#pragma once

#include "adapters/linux/gio/window_reveal_service.hpp"

#include <gtk/gtk.h>

#include <optional>
#include <string>
#include <vector>

namespace quenta::linux_platform {

// The windows of a GTK 3 file manager where the extension's commands were given, and the folder
// each showed then, offered on the session bus to the application (see window_reveal_names.hpp):
// a reveal of items in such a folder brings that window to the front instead of the new window the
// file manager would open. A window is forgotten when it is destroyed. Main thread only.
class Gtk3WindowReveals {
  public:
    Gtk3WindowReveals();
    ~Gtk3WindowReveals();
    Gtk3WindowReveals(const Gtk3WindowReveals&) = delete;
    Gtk3WindowReveals& operator=(const Gtk3WindowReveals&) = delete;

    // A command was given in the window of `widget` (a GtkWidget; null where the host did not
    // say), which shows `folder` (none: no local folder).
    void commandGiven(GObject* widget, const std::optional<std::string>& folder);

    // Brings to the front the latest window where a command was given in the folder holding the
    // first of `paths`; false when there is none.
    bool show(const std::vector<std::string>& paths);

    struct Window;

  private:
    static void windowGone(gpointer self, GObject* window);

    std::vector<Window> windows_;
    WindowRevealService service_;  // after the windows: it answers from them
};

}  // namespace quenta::linux_platform
