#pragma once

#include "ports/pasteboard.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace quenta::linux_platform {

// The general pasteboard of a host that runs inside a toolkit with a desktop clipboard (the file
// manager modules): every entry lives in the per-user store as everywhere else, and the
// plain-text entry is also offered to the desktop clipboard, so that a text field of any
// application pastes it. Reading asks the store only. Clearing clears the store only: the desktop
// clipboard keeps its contents until the next plain text replaces them. Each toolkit's adapter
// supplies the offer; it is called on the thread that writes, which for every toolkit here must
// be the main thread.
class ClipboardOfferingPasteboard : public Pasteboard {
  public:
    // Puts the text on the desktop clipboard where there is one, and does nothing otherwise.
    using Offer = void (*)(std::string_view text);

    // `store` outlives this object.
    ClipboardOfferingPasteboard(Pasteboard& store, Offer offer) : store_(store), offer_(offer) {}

    Status clearContents() override;
    Status setString(std::string_view text, std::string_view type) override;
    Status replaceContents(const Entries& entries) override;
    Result<bool> clearContentsIfString(std::string_view type, std::string_view text) override;
    [[nodiscard]] std::optional<std::string> stringForType(std::string_view type) const override;
    [[nodiscard]] bool hasString(std::string_view type) const override;
    [[nodiscard]] Result<std::optional<std::string>> readString(
        std::string_view type) const override;

  private:
    Pasteboard& store_;
    Offer offer_;
};

}  // namespace quenta::linux_platform
