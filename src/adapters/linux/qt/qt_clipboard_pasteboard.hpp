#pragma once

#include "adapters/linux/clipboard_offering_pasteboard.hpp"

namespace quenta::linux_platform {

// The general pasteboard for a plug-in loaded into a Qt file manager (Dolphin): the per-user
// store, with the plain text and cuts of files (in Dolphin's and the GTK file managers' forms)
// also put on the clipboard of the process's QGuiApplication, the toolkit of the host, which
// hands them to the clipboard manager when Dolphin exits. desktopCut reads the clipboard as
// Dolphin's own Paste does. In a process without a QGuiApplication the store alone is used. Main
// thread only.
class QtClipboardPasteboard : public ClipboardOfferingPasteboard {
  public:
    // `store` outlives this object.
    explicit QtClipboardPasteboard(Pasteboard& store);
};

}  // namespace quenta::linux_platform
