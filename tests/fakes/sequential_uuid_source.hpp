#pragma once

#include "ports/uuid_source.hpp"

#include <cstdio>
#include <string>

namespace quenta::testing {

// UUIDs 00000000-0000-4000-8000-000000000001, ...002 and so on: predictable but well formed.
class SequentialUuidSource : public UuidSource {
  public:
    [[nodiscard]] std::string makeUuidString() override {
        char text[37];
        std::snprintf(text, sizeof text, "00000000-0000-4000-8000-%012X", ++count_);
        return text;
    }

  private:
    unsigned count_ = 0;
};

}  // namespace quenta::testing
