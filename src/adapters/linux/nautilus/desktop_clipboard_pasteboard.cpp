#include "adapters/linux/nautilus/desktop_clipboard_pasteboard.hpp"

#include <gdk/gdk.h>

#include <string>

namespace quenta::linux_platform {
namespace {

void offerToDesktopClipboard(std::string_view text) {
    if (GdkDisplay* display = gdk_display_get_default()) {
        const std::string terminated(text);
        gdk_clipboard_set_text(gdk_display_get_clipboard(display), terminated.c_str());
    }
}

}  // namespace

DesktopClipboardPasteboard::DesktopClipboardPasteboard(Pasteboard& store)
    : ClipboardOfferingPasteboard(store, offerToDesktopClipboard) {}

}  // namespace quenta::linux_platform
