#include "adapters/linux/gtk/gtk_app_shell.hpp"

#include <gtkmm/window.h>

namespace quenta::linux_platform {

void GtkAppShell::activateIgnoringOtherApps() {
    // GTK has no application-wide activation: presenting the front window asks the window
    // manager to raise and focus it, which is as far as a client may go.
    Gtk::Window* front = application_.get_active_window();
    if (front != nullptr && front->get_visible()) {
        front->present();
    }
}

void GtkAppShell::orderOutKeyWindow() {
    for (Gtk::Window* window : application_.get_windows()) {
        if (window->is_active()) {
            window->hide();
        }
    }
}

void GtkAppShell::hide() {
    for (Gtk::Window* window : application_.get_windows()) {
        window->hide();
    }
}

}  // namespace quenta::linux_platform
