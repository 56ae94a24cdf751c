#pragma once

#include "adapters/linux/clipboard_offering_pasteboard.hpp"

namespace quenta::linux_platform {

// The general pasteboard for a plug-in loaded into a Qt file manager (Dolphin): the per-user
// store, with the plain text also put on the clipboard of the process's QGuiApplication, the
// toolkit of the host. In a process without a QGuiApplication the store alone is used. Main
// thread only.
class QtClipboardPasteboard : public ClipboardOfferingPasteboard {
  public:
    // `store` outlives this object.
    explicit QtClipboardPasteboard(Pasteboard& store);
};

}  // namespace quenta::linux_platform
