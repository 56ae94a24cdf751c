#pragma once

#include "ports/alerts.hpp"

#include <gtkmm/application.h>
#include <gtkmm/dialog.h>

namespace quenta::linux_platform {

// Alerts as GTK message dialogs: the title as the dialog's title and main text, the message as its
// secondary text, one button. `runModal` runs a nested main loop until the dialog is dismissed;
// the dialog is modal for the application's visible window, if any. Every text is plain text,
// never markup. `confirm` shows the question with its two buttons, Cancel the default; only the
// confirm button confirms (Escape and closing cancel).
class GtkAlerts : public Alerts {
  public:
    explicit GtkAlerts(Gtk::Application& application) : application_(application) {}

    void runModal(const AlertContent& alert) override;
    ConfirmationAnswer confirm(const ConfirmationContent& confirmation) override;

  private:
    // Shows the dialog modally and returns its response once it is dismissed.
    int run(Gtk::Dialog& dialog);

    Gtk::Application& application_;
};

}  // namespace quenta::linux_platform
