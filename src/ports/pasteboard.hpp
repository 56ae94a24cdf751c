#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quenta {

// The general pasteboard: one per user, shared by every process of that user, outliving the
// process that wrote it. Entries are texts keyed by a type identifier.
class Pasteboard {
  public:
    // The plain-text type: what a text field pastes.
    static constexpr std::string_view kPlainTextType = "public.utf8-plain-text";

    virtual ~Pasteboard() = default;

    // Removes every entry.
    virtual void clearContents() = 0;
    // Sets the text for a type; false when it could not be stored.
    virtual bool setString(std::string_view text, std::string_view type) = 0;
    // The text stored for a type, or none.
    [[nodiscard]] virtual std::optional<std::string> stringForType(std::string_view type) const = 0;
};

}  // namespace quenta
