#pragma once

#include "ports/clock.hpp"

namespace quenta::linux_platform {

class SystemClock : public Clock {
  public:
    [[nodiscard]] std::chrono::system_clock::time_point now() const override {
        return std::chrono::system_clock::now();
    }
};

}  // namespace quenta::linux_platform
