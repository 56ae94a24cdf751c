#include "adapters/linux/gtk/gtk_alerts.hpp"

#include <glibmm/main.h>
#include <gtkmm/messagedialog.h>

namespace quenta::linux_platform {

int GtkAlerts::run(Gtk::Dialog& dialog) {
    if (stopped_) {
        return static_cast<int>(Gtk::ResponseType::DELETE_EVENT);
    }
    dialog.set_hide_on_close(true);
    for (Gtk::Window* window : application_.get_windows()) {
        if (window->get_visible() && window != &dialog) {
            dialog.set_transient_for(*window);
            break;
        }
    }
    // Every way out (the buttons, Return, Escape, the close button) ends in a response.
    int response = static_cast<int>(Gtk::ResponseType::NONE);
    const auto loop = Glib::MainLoop::create();
    dialog.signal_response().connect([&loop, &response](int answer) {
        response = answer;
        loop->quit();
    });
    shown_.push_back(&dialog);
    dialog.present();
    loop->run();
    shown_.pop_back();
    dialog.hide();
    return response;
}

void GtkAlerts::stopShowing() {
    stopped_ = true;
    // Each response only tells its loop to end; the loops unwind once this returns.
    for (Gtk::Dialog* dialog : shown_) {
        dialog->response(Gtk::ResponseType::DELETE_EVENT);
    }
}

void GtkAlerts::runModal(const AlertContent& alert) {
    Gtk::MessageDialog dialog(alert.title, false, Gtk::MessageType::WARNING, Gtk::ButtonsType::NONE,
                              true);
    dialog.set_title(alert.title);
    dialog.set_secondary_text(alert.message, false);
    dialog.add_button(alert.button, Gtk::ResponseType::OK);
    dialog.set_default_response(Gtk::ResponseType::OK);
    static_cast<void>(run(dialog));
}

ConfirmationAnswer GtkAlerts::confirm(const ConfirmationContent& confirmation) {
    Gtk::MessageDialog dialog(confirmation.title, false, Gtk::MessageType::QUESTION,
                              Gtk::ButtonsType::NONE, true);
    dialog.set_title(confirmation.title);
    dialog.set_secondary_text(confirmation.message, false);
    dialog.add_button(confirmation.cancelButton, Gtk::ResponseType::CANCEL);
    dialog.add_button(confirmation.confirmButton, Gtk::ResponseType::OK);
    dialog.set_default_response(Gtk::ResponseType::CANCEL);
    return run(dialog) == static_cast<int>(Gtk::ResponseType::OK) ? ConfirmationAnswer::confirmed
                                                                  : ConfirmationAnswer::cancelled;
}

}  // namespace quenta::linux_platform
