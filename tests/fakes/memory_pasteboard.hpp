#pragma once

#include "ports/pasteboard.hpp"

#include <map>
#include <optional>
#include <string>

namespace quenta::testing {

// An in-memory general pasteboard.
class MemoryPasteboard : public Pasteboard {
  public:
    void clearContents() override {
        entries.clear();
        ++clearCount;
    }
    bool setString(std::string_view text, std::string_view type) override {
        entries[std::string(type)] = std::string(text);
        return true;
    }
    [[nodiscard]] std::optional<std::string> stringForType(std::string_view type) const override {
        const auto found = entries.find(std::string(type));
        if (found == entries.end()) {
            return std::nullopt;
        }
        return found->second;
    }

    std::map<std::string, std::string> entries;
    int clearCount = 0;
};

}  // namespace quenta::testing
