#include "adapters/linux/nautilus/desktop_clipboard_pasteboard.hpp"

#include <gdk/gdk.h>

namespace quenta::linux_platform {

void DesktopClipboardPasteboard::clearContents() {
    store_.clearContents();
}

bool DesktopClipboardPasteboard::setString(std::string_view text, std::string_view type) {
    const bool stored = store_.setString(text, type);
    if (type == kPlainTextType) {
        if (GdkDisplay* display = gdk_display_get_default()) {
            const std::string terminated(text);
            gdk_clipboard_set_text(gdk_display_get_clipboard(display), terminated.c_str());
        }
    }
    return stored;
}

std::optional<std::string> DesktopClipboardPasteboard::stringForType(std::string_view type) const {
    return store_.stringForType(type);
}

}  // namespace quenta::linux_platform
