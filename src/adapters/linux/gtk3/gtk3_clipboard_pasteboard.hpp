#pragma once

#include "ports/pasteboard.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace quenta::linux_platform {

// The general pasteboard for a module loaded into a GTK 3 file manager (Nemo, Caja, Thunar): every
// entry lives in the per-user store as everywhere else, and the plain-text entry is also put on
// the CLIPBOARD selection of the process's default GDK display through GTK 3, the toolkit of the
// host (a second GTK in the process would bind to the host's and fail). Reading asks the store
// only; without a display the store alone is used. Clearing clears the store only: the desktop
// clipboard keeps its contents until the next plain text replaces them. Main thread only.
class Gtk3ClipboardPasteboard : public Pasteboard {
  public:
    // `store` outlives this object.
    explicit Gtk3ClipboardPasteboard(Pasteboard& store) : store_(store) {}

    Status clearContents() override;
    Status setString(std::string_view text, std::string_view type) override;
    Status replaceContents(const Entries& entries) override;
    Result<bool> clearContentsIfString(std::string_view type, std::string_view text) override;
    [[nodiscard]] std::optional<std::string> stringForType(std::string_view type) const override;

  private:
    Pasteboard& store_;
};

}  // namespace quenta::linux_platform
