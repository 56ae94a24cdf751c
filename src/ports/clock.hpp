#pragma once

#include <chrono>

namespace quenta {

// The wall clock.
class Clock {
  public:
    virtual ~Clock() = default;
    [[nodiscard]] virtual std::chrono::system_clock::time_point now() const = 0;
};

}  // namespace quenta
