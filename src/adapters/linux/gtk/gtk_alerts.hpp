#pragma once

#include "ports/alerts.hpp"

#include <gtkmm/application.h>

namespace quenta::linux_platform {

// Alerts as GTK message dialogs: the title as the dialog's title and main text, the message as its
// secondary text, one button. `runModal` runs a nested main loop until the dialog is dismissed;
// the dialog is modal for the application's visible window, if any.
class GtkAlerts : public Alerts {
  public:
    explicit GtkAlerts(Gtk::Application& application) : application_(application) {}

    void runModal(const AlertContent& alert) override;

  private:
    Gtk::Application& application_;
};

}  // namespace quenta::linux_platform
