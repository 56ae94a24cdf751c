#pragma once

#include "ports/app_shell.hpp"

#include <gtkmm/application.h>

namespace quenta::linux_platform {

// The application object of a GTK desktop: the windows it knows are those added to it.
class GtkAppShell : public AppShell {
  public:
    explicit GtkAppShell(Gtk::Application& application) : application_(application) {}

    void activateIgnoringOtherApps() override;
    void orderOutKeyWindow() override;
    void hide() override;

  private:
    Gtk::Application& application_;
};

}  // namespace quenta::linux_platform
