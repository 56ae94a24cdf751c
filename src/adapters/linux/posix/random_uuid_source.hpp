#pragma once

#include "ports/uuid_source.hpp"

#include <array>
#include <cstdint>
#include <string>

namespace quenta::linux_platform {

// Version 4 UUIDs from the kernel's random source (getrandom).
class RandomUuidSource : public UuidSource {
  public:
    [[nodiscard]] std::string makeUuidString() override;
};

// The canonical upper-case text of 16 bytes, with the version 4 and RFC 4122 variant bits set.
std::string formatUuidV4(std::array<std::uint8_t, 16> bytes);

}  // namespace quenta::linux_platform
