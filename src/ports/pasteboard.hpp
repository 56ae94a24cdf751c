#pragma once

#include "ports/error.hpp"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quenta {

// The general pasteboard: one per user, shared by every process of that user, outliving the
// process that wrote it. Entries are texts keyed by a type identifier. Every write is one step
// against the writers of other processes: none of them loses or mixes in another's entries.
class Pasteboard {
  public:
    // The plain-text type: what a text field pastes.
    static constexpr std::string_view kPlainTextType = "public.utf8-plain-text";
    // Entries by type.
    using Entries = std::map<std::string, std::string, std::less<>>;

    virtual ~Pasteboard() = default;

    // Removes every entry.
    virtual Status clearContents() = 0;
    // Sets the text for a type, keeping the other entries.
    virtual Status setString(std::string_view text, std::string_view type) = 0;
    // Removes every entry and stores these instead, as one write: a reader sees the old entries
    // or all of the new ones, never some of each.
    virtual Status replaceContents(const Entries& entries) = 0;
    // Removes every entry, but only while the entry of `type` still holds `text`, decided in the
    // same step as the removal: true when it removed them, false when that entry has changed or
    // gone since it was read (a newer write is never lost to an older reader).
    virtual Result<bool> clearContentsIfString(std::string_view type, std::string_view text) = 0;
    // The text stored for a type, or none.
    [[nodiscard]] virtual std::optional<std::string> stringForType(std::string_view type) const = 0;
    // Whether a text is stored for the type, as stringForType would answer, without reading the
    // text (a menu asks this on every opening).
    [[nodiscard]] virtual bool hasString(std::string_view type) const {
        return stringForType(type).has_value();
    }
    // The same, but a store that exists and cannot be read (an input/output error, a file the
    // user may not read) is an error rather than none.
    [[nodiscard]] virtual Result<std::optional<std::string>> readString(
        std::string_view type) const {
        return stringForType(type);
    }

    // A cut of files on the desktop's clipboard, which the file managers share: what a file
    // manager's own Cut put there, or what a cut entry written through a pasteboard of ours
    // offered (`ours`). The paths are absolute, in the cut's order.
    struct DesktopCut {
        std::vector<std::string> paths;
        bool ours = false;
        friend bool operator==(const DesktopCut&, const DesktopCut&) = default;
    };
    // The cut of files the desktop's clipboard holds now, as last seen; none where there is no
    // desktop clipboard, or it holds anything else (text, a copy, places without a local path).
    [[nodiscard]] virtual std::optional<DesktopCut> desktopCut() const { return std::nullopt; }
    // Empties the desktop's clipboard if it still holds a cut of files, as a file manager does
    // when it pastes one: that cut is not pasted again.
    virtual void endDesktopCut() {}
};

}  // namespace quenta
