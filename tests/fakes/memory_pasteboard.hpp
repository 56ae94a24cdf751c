#pragma once

#include "ports/pasteboard.hpp"

#include <functional>
#include <optional>
#include <string>

namespace quenta::testing {

// An in-memory general pasteboard. `writeError`, when set, refuses every write with that error,
// as a store the user cannot write would; `afterRead`, when set, runs after every read, as another
// process writing right after it would.
class MemoryPasteboard : public Pasteboard {
  public:
    Status clearContents() override { return replaceContents({}); }
    Status setString(std::string_view text, std::string_view type) override {
        if (writeError) {
            return *writeError;
        }
        entries.insert_or_assign(std::string(type), std::string(text));
        return {};
    }
    Status replaceContents(const Entries& replacement) override {
        if (writeError) {
            return *writeError;
        }
        if (replacement.empty()) {
            ++clearCount;
        }
        entries = replacement;
        return {};
    }
    Result<bool> clearContentsIfString(std::string_view type, std::string_view text) override {
        if (writeError) {
            return *writeError;
        }
        if (stringForType(type) != text) {
            return false;
        }
        ++clearCount;
        entries.clear();
        return true;
    }
    [[nodiscard]] std::optional<std::string> stringForType(std::string_view type) const override {
        const auto found = entries.find(type);
        std::optional<std::string> text;
        if (found != entries.end()) {
            text = found->second;
        }
        if (afterRead) {
            afterRead();
        }
        return text;
    }

    [[nodiscard]] Result<std::optional<std::string>> readString(
        std::string_view type) const override {
        if (readError) {
            return *readError;
        }
        return stringForType(type);
    }

    [[nodiscard]] std::optional<DesktopCut> desktopCut() const override { return desktop; }
    void endDesktopCut() override {
        desktop.reset();
        ++desktopCutEnds;
    }

    Entries entries;
    // The desktop clipboard's cut of files, as the test puts it there.
    std::optional<DesktopCut> desktop;
    int desktopCutEnds = 0;
    // Makes readString fail as a store that cannot be read does.
    std::optional<Error> readError;
    // The number of writes that removed every entry.
    int clearCount = 0;
    std::optional<Error> writeError;
    std::function<void()> afterRead;
};

}  // namespace quenta::testing
