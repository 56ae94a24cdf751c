#include "adapters/linux/gtk/gtk_progress_window.hpp"

#include "core/shared/byte_size.hpp"
#include "core/shared/shared_names.hpp"
#include "ports/error.hpp"

#include <glib.h>
#include <gtkmm/box.h>

#include <cstdio>
#include <string>

namespace quenta::linux_platform {
namespace {

// Lets the main loop draw the window and deliver its input without waiting for more.
void handlePendingEvents() {
    GMainContext* context = g_main_context_default();
    for (int i = 0; i < 100 && g_main_context_pending(context) != FALSE; ++i) {
        g_main_context_iteration(context, FALSE);
    }
}

}  // namespace

GtkProgressWindow::~GtkProgressWindow() {
    GtkProgressWindow::close();
}

void GtkProgressWindow::build() {
    window_ = std::make_unique<Gtk::Window>();
    window_->set_title(localizer_.localized(names::kAlertTitle));
    window_->set_resizable(false);
    window_->set_default_size(420, -1);
    auto* box = Gtk::make_managed<Gtk::Box>(Gtk::Orientation::VERTICAL, 8);
    box->set_margin(16);
    item_ = Gtk::make_managed<Gtk::Label>();
    item_->set_xalign(0);
    item_->set_ellipsize(Pango::EllipsizeMode::MIDDLE);
    bytes_ = Gtk::make_managed<Gtk::Label>();
    bytes_->set_xalign(0);
    bar_ = Gtk::make_managed<Gtk::ProgressBar>();
    cancel_ = Gtk::make_managed<Gtk::Button>(localizer_.localized("取消"));
    cancel_->set_halign(Gtk::Align::END);
    cancel_->signal_clicked().connect([this] {
        cancelled_ = true;
        cancel_->set_sensitive(false);
    });
    window_->signal_close_request().connect(
        [this] {
            cancelled_ = true;
            return true;  // the window goes when the operation has stopped
        },
        false);
    box->append(*item_);
    box->append(*bytes_);
    box->append(*bar_);
    box->append(*cancel_);
    window_->set_child(*box);
    window_->set_default_widget(*cancel_);
    cancelled_ = false;
    window_->present();
    cancel_->grab_focus();
}

void GtkProgressWindow::show(const std::string& item, std::uint64_t doneBytes,
                             std::uint64_t totalBytes) {
    if (!window_) {
        build();
    }
    item_->set_text(localizer_.localized("正在移动：") + item);
    bytes_->set_text(megabytesText(doneBytes) + " / " + megabytesText(totalBytes));
    bar_->set_fraction(
        totalBytes == 0 ? 1.0 : static_cast<double>(doneBytes) / static_cast<double>(totalBytes));
    handlePendingEvents();
}

void GtkProgressWindow::close() {
    if (!window_) {
        return;
    }
    window_->hide();
    window_.reset();
    handlePendingEvents();
}

}  // namespace quenta::linux_platform
