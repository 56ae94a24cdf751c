#pragma once

#include "core/app/content_view.hpp"
#include "ports/app_shell.hpp"
#include "ports/icons.hpp"

#include <gtkmm/application.h>
#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/label.h>
#include <gtkmm/window.h>

#include <memory>
#include <string_view>

namespace quenta::linux_platform {

// The installer window: a titled, closable window whose content is 600 x 292, not resizable, and
// hidden rather than destroyed when closed. It draws its ContentView (which it owns) and calls its
// operations from the buttons; Return runs "一键安装/修复" wherever the focus is. Each time the
// window comes on screen the view's appearance step runs.
class GtkInstallerWindow : public AppWindow {
  public:
    static constexpr int kContentWidth = 600;
    static constexpr int kContentHeight = 292;

    GtkInstallerWindow(Gtk::Application& application, std::unique_ptr<ContentView> view,
                       Icons& icons);
    ~GtkInstallerWindow() override;
    GtkInstallerWindow(const GtkInstallerWindow&) = delete;
    GtkInstallerWindow& operator=(const GtkInstallerWindow&) = delete;

    void makeKeyAndOrderFront() override;
    void orderOut() override;

  private:
    Gtk::Button* commandButton(const ContentView::Command& command);
    std::string iconName(std::string_view symbol);
    void render();
    // Adds the window to the application's windows unless it is among them.
    void belongToApplication();

    Gtk::Application& application_;
    std::unique_ptr<ContentView> view_;
    Icons& icons_;
    Gtk::Window window_;
    Gtk::Label* statusLabel_ = nullptr;
    Gtk::Button* downloadButton_ = nullptr;
    Gtk::Button* checkButton_ = nullptr;
};

}  // namespace quenta::linux_platform
