#include "adapters/linux/gtk3/gtk3_clipboard_pasteboard.hpp"

#include <gtk/gtk.h>

namespace quenta::linux_platform {

void Gtk3ClipboardPasteboard::clearContents() {
    store_.clearContents();
}

bool Gtk3ClipboardPasteboard::setString(std::string_view text, std::string_view type) {
    const bool stored = store_.setString(text, type);
    if (type == kPlainTextType) {
        if (GdkDisplay* display = gdk_display_get_default()) {
            const std::string terminated(text);
            gtk_clipboard_set_text(gtk_clipboard_get_for_display(display, GDK_SELECTION_CLIPBOARD),
                                   terminated.c_str(), static_cast<gint>(terminated.size()));
        }
    }
    return stored;
}

std::optional<std::string> Gtk3ClipboardPasteboard::stringForType(std::string_view type) const {
    return store_.stringForType(type);
}

}  // namespace quenta::linux_platform
