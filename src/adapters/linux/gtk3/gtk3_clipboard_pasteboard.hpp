#pragma once

#include "adapters/linux/clipboard_offering_pasteboard.hpp"

namespace quenta::linux_platform {

// The general pasteboard for a module loaded into a GTK 3 file manager (Nemo, Caja, Thunar): the
// per-user store, with the plain text and cuts of files also put on the CLIPBOARD selection of
// the process's default GDK display through GTK 3, the toolkit of the host (a second GTK in the
// process would bind to the host's and fail). Everything put there may be stored by a clipboard
// manager: GtkApplication hands it over when the host shuts down. The selection's cut of files is
// followed through "owner-change" and read asynchronously, so desktopCut answers at once with
// what was last seen. Without a display the store alone is used. Main thread only.
class Gtk3ClipboardPasteboard : public ClipboardOfferingPasteboard {
  public:
    // `store` outlives this object.
    explicit Gtk3ClipboardPasteboard(Pasteboard& store);
};

}  // namespace quenta::linux_platform
