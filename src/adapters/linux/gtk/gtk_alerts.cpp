#include "adapters/linux/gtk/gtk_alerts.hpp"

#include <glibmm/main.h>
#include <gtkmm/messagedialog.h>

namespace quenta::linux_platform {

void GtkAlerts::runModal(const AlertContent& alert) {
    Gtk::MessageDialog dialog(alert.title, false, Gtk::MessageType::WARNING, Gtk::ButtonsType::NONE,
                              true);
    dialog.set_title(alert.title);
    dialog.set_secondary_text(alert.message);
    dialog.add_button(alert.button, Gtk::ResponseType::OK);
    dialog.set_default_response(Gtk::ResponseType::OK);
    dialog.set_hide_on_close(true);
    for (Gtk::Window* window : application_.get_windows()) {
        if (window->get_visible()) {
            dialog.set_transient_for(*window);
            break;
        }
    }
    // Every way out (the button, Return, Escape, the close button) ends in a response.
    const auto loop = Glib::MainLoop::create();
    dialog.signal_response().connect([&loop](int) { loop->quit(); });
    dialog.present();
    loop->run();
    dialog.hide();
}

}  // namespace quenta::linux_platform
