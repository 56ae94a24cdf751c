#pragma once

#include <string>

namespace quenta {

// Random (version 4) UUIDs in their canonical text form: 36 characters, upper-case hexadecimal
// digits in groups of 8, 4, 4, 4 and 12 joined by hyphens.
class UuidSource {
  public:
    virtual ~UuidSource() = default;
    [[nodiscard]] virtual std::string makeUuidString() = 0;
};

}  // namespace quenta
