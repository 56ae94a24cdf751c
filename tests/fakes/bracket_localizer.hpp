#pragma once

#include "ports/localizer.hpp"

#include <string>
#include <string_view>

namespace quenta::testing {

// A catalogue that translates every key into the key between brackets, so that a test sees which
// parts of a text were localised, one by one, and which were put in as they stand.
class BracketLocalizer final : public Localizer {
  public:
    [[nodiscard]] std::string localized(std::string_view key) const override {
        return "[" + std::string(key) + "]";
    }
};

}  // namespace quenta::testing
