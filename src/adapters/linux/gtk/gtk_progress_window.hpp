#pragma once

#include "ports/localizer.hpp"
#include "ports/progress_display.hpp"

#include <gtkmm/button.h>
#include <gtkmm/label.h>
#include <gtkmm/progressbar.h>
#include <gtkmm/window.h>

#include <memory>

namespace quenta::linux_platform {

// The progress of a long operation as a small window titled like the alerts: the item, bytes done
// of total, a progress bar and a "取消" button (closing the window cancels too). The operation
// runs on the main thread, so `show` handles the window's pending events before it returns; that
// is when a click on the button is seen. Its texts are in the user's language.
class GtkProgressWindow : public ProgressDisplay {
  public:
    explicit GtkProgressWindow(const Localizer& localizer) : localizer_(localizer) {}
    ~GtkProgressWindow() override;
    GtkProgressWindow(const GtkProgressWindow&) = delete;
    GtkProgressWindow& operator=(const GtkProgressWindow&) = delete;

    void show(const std::string& item, std::uint64_t doneBytes, std::uint64_t totalBytes) override;
    [[nodiscard]] bool cancelRequested() override { return cancelled_; }
    void close() override;

  private:
    void build();

    const Localizer& localizer_;
    std::unique_ptr<Gtk::Window> window_;
    Gtk::Label* item_ = nullptr;
    Gtk::Label* bytes_ = nullptr;
    Gtk::ProgressBar* bar_ = nullptr;
    Gtk::Button* cancel_ = nullptr;
    bool cancelled_ = false;
};

}  // namespace quenta::linux_platform
