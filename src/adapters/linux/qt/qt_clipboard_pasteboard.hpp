#pragma once

#include "ports/pasteboard.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace quenta::linux_platform {

// The general pasteboard for a plug-in loaded into a Qt file manager (Dolphin): every entry lives
// in the per-user store as everywhere else, and the plain-text entry is also put on the clipboard
// of the process's QGuiApplication, the toolkit of the host. Reading asks the store only; in a
// process without a QGuiApplication the store alone is used. Clearing clears the store only: the
// desktop clipboard keeps its contents until the next plain text replaces them. Main thread only.
class QtClipboardPasteboard : public Pasteboard {
  public:
    // `store` outlives this object.
    explicit QtClipboardPasteboard(Pasteboard& store) : store_(store) {}

    Status clearContents() override;
    Status setString(std::string_view text, std::string_view type) override;
    Status replaceContents(const Entries& entries) override;
    Result<bool> clearContentsIfString(std::string_view type, std::string_view text) override;
    [[nodiscard]] std::optional<std::string> stringForType(std::string_view type) const override;

  private:
    Pasteboard& store_;
};

}  // namespace quenta::linux_platform
