#include "adapters/linux/gtk3/gtk3_clipboard_pasteboard.hpp"

#include <gtk/gtk.h>

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

Status Gtk3ClipboardPasteboard::clearContents() {
    return store_.clearContents();
}

Status Gtk3ClipboardPasteboard::setString(std::string_view text, std::string_view type) {
    Status stored = store_.setString(text, type);
    if (type == kPlainTextType) {
        offerToDesktopClipboard(text);
    }
    return stored;
}

Status Gtk3ClipboardPasteboard::replaceContents(const Entries& entries) {
    Status stored = store_.replaceContents(entries);
    if (const auto plain = entries.find(kPlainTextType); plain != entries.end()) {
        offerToDesktopClipboard(plain->second);
    }
    return stored;
}

Result<bool> Gtk3ClipboardPasteboard::clearContentsIfString(std::string_view type,
                                                            std::string_view text) {
    return store_.clearContentsIfString(type, text);
}

std::optional<std::string> Gtk3ClipboardPasteboard::stringForType(std::string_view type) const {
    return store_.stringForType(type);
}

}  // namespace quenta::linux_platform
