#pragma once

#include "ports/stop_request.hpp"

namespace quenta::linux_platform {

// SIGTERM and SIGINT as a stop request: once installed, either signal only records that the
// process was asked to stop, and the work asks between items. SIGPIPE is ignored from then on, so
// a reader that went away (a closed standard output) costs only its own output. One per process.
class StopSignals : public StopRequest {
  public:
    StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    ~StopSignals() override;

    [[nodiscard]] bool stopRequested() const override;
    // The signal that asked to stop, 0 while none did.
    [[nodiscard]] static int signalReceived();
    // A descriptor that becomes readable once a stop is asked for, for an event loop to watch (the
    // work in hand asks stopRequested() itself); -1 when none could be made. Never read it: it
    // stays readable.
    [[nodiscard]] int wakeDescriptor() const { return wakeRead_; }

  private:
    int wakeRead_ = -1;
};

}  // namespace quenta::linux_platform
