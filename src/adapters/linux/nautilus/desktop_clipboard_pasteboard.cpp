#include "adapters/linux/nautilus/desktop_clipboard_pasteboard.hpp"

#include <gdk/gdk.h>

namespace quenta::linux_platform {
namespace {

void offerToDesktopClipboard(std::string_view text) {
    if (GdkDisplay* display = gdk_display_get_default()) {
        const std::string terminated(text);
        gdk_clipboard_set_text(gdk_display_get_clipboard(display), terminated.c_str());
    }
}

}  // namespace

Status DesktopClipboardPasteboard::clearContents() {
    return store_.clearContents();
}

Status DesktopClipboardPasteboard::setString(std::string_view text, std::string_view type) {
    Status stored = store_.setString(text, type);
    if (type == kPlainTextType) {
        offerToDesktopClipboard(text);
    }
    return stored;
}

Status DesktopClipboardPasteboard::replaceContents(const Entries& entries) {
    Status stored = store_.replaceContents(entries);
    if (const auto plain = entries.find(kPlainTextType); plain != entries.end()) {
        offerToDesktopClipboard(plain->second);
    }
    return stored;
}

Result<bool> DesktopClipboardPasteboard::clearContentsIfString(std::string_view type,
                                                               std::string_view text) {
    return store_.clearContentsIfString(type, text);
}

std::optional<std::string> DesktopClipboardPasteboard::stringForType(std::string_view type) const {
    return store_.stringForType(type);
}

}  // namespace quenta::linux_platform
