#include "adapters/linux/gtk3/gtk3_clipboard_pasteboard.hpp"

#include <gtk/gtk.h>

#include <string>

namespace quenta::linux_platform {
namespace {

void offerToDesktopClipboard(std::string_view text) {
    if (GdkDisplay* display = gdk_display_get_default()) {
        const std::string terminated(text);
        gtk_clipboard_set_text(gtk_clipboard_get_for_display(display, GDK_SELECTION_CLIPBOARD),
                               terminated.c_str(), static_cast<gint>(terminated.size()));
    }
}

}  // namespace

Gtk3ClipboardPasteboard::Gtk3ClipboardPasteboard(Pasteboard& store)
    : ClipboardOfferingPasteboard(store, offerToDesktopClipboard) {}

}  // namespace quenta::linux_platform
