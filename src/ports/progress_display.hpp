#pragma once

#include <cstdint>
#include <string>

namespace quenta {

// Shows the progress of one long operation to the user and lets them stop it: a small window on
// a desktop, a line on a terminal, or nothing. Main thread only; the logic decides when to show it.
class ProgressDisplay {
  public:
    virtual ~ProgressDisplay() = default;
    // Shows the display, or brings it up to date: the item being worked on, bytes done of total.
    // May handle pending input of the display (its cancel button) before it returns.
    virtual void show(const std::string& item, std::uint64_t doneBytes,
                      std::uint64_t totalBytes) = 0;
    // True once the user has asked to stop since the display was shown.
    [[nodiscard]] virtual bool cancelRequested() = 0;
    // Takes the display away; a later show starts afresh.
    virtual void close() = 0;
};

}  // namespace quenta
