#pragma once

#include "adapters/linux/clipboard_offering_pasteboard.hpp"

namespace quenta::linux_platform {

// The general pasteboard for the Nautilus module: the per-user store, with the plain text and cuts
// of files also put on the clipboard of the process's default GDK display through GTK 4,
// Nautilus's toolkit, and handed to the clipboard manager at once (gdk_clipboard_store_async),
// so they outlive Nautilus. The clipboard's cut of files is followed through "changed" and read
// asynchronously, so desktopCut answers at once with what was last seen. Without a display the
// store alone is used. Main thread only (GDK's rule).
class DesktopClipboardPasteboard : public ClipboardOfferingPasteboard {
  public:
    // `store` outlives this object.
    explicit DesktopClipboardPasteboard(Pasteboard& store);
};

}  // namespace quenta::linux_platform
