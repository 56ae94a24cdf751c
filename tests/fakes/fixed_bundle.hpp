#pragma once

#include "ports/bundle.hpp"

#include <optional>
#include <string>
#include <utility>

namespace quenta::testing {

// A bundle built as the given version, or without one.
class FixedBundle : public Bundle {
  public:
    explicit FixedBundle(std::optional<std::string> version) : version_(std::move(version)) {}
    [[nodiscard]] std::optional<std::string> shortVersionString() const override {
        return version_;
    }
    [[nodiscard]] std::optional<std::string> builtInPlugInsPath() const override {
        return plugInsPath;
    }
    [[nodiscard]] std::string bundlePath() const override { return ownPath; }

    std::optional<std::string> plugInsPath;
    std::string ownPath;

  private:
    std::optional<std::string> version_;
};

}  // namespace quenta::testing
