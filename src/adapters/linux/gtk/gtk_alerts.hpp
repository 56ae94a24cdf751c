#pragma once

#include "ports/alerts.hpp"

#include <gtkmm/application.h>
#include <gtkmm/dialog.h>

#include <vector>

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
    // For a process that is stopping: each dialog shown is answered as Escape answers it
    // (a question is cancelled), and no dialog is shown from then on.
    void stopShowing();

  private:
    // Shows the dialog modally and returns its response once it is dismissed.
    int run(Gtk::Dialog& dialog);

    Gtk::Application& application_;
    // The dialogs whose nested loops run, innermost last.
    std::vector<Gtk::Dialog*> shown_;
    bool stopped_ = false;
};

}  // namespace quenta::linux_platform
