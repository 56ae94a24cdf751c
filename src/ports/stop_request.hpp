#pragma once

namespace quenta {

// Whether the process has been asked to stop (on Linux by SIGTERM or SIGINT). Long operations ask
// between items: the item in hand is finished, nothing further is begun, and what must not stay
// is undone before they return.
class StopRequest {
  public:
    virtual ~StopRequest() = default;
    [[nodiscard]] virtual bool stopRequested() const = 0;
};

}  // namespace quenta
