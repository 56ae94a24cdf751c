#pragma once

#include "ports/clock.hpp"

namespace quenta::testing {

// A clock that stands still until a test moves it.
class FixedClock : public Clock {
  public:
    explicit FixedClock(std::chrono::system_clock::time_point start = {}) : now_(start) {}
    [[nodiscard]] std::chrono::system_clock::time_point now() const override { return now_; }
    void set(std::chrono::system_clock::time_point instant) { now_ = instant; }
    void advance(std::chrono::system_clock::duration by) { now_ += by; }

  private:
    std::chrono::system_clock::time_point now_;
};

}  // namespace quenta::testing
