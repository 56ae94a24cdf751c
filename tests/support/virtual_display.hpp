#pragma once

#include "support/temp_dir.hpp"

#include <sys/types.h>

#include <string>

namespace quenta::testing {

// An Xvfb server on a display it picks itself (-displayfd), ended with the object. `name()` is
// empty when Xvfb is not installed or did not start within 10 s.
class VirtualDisplay {
  public:
    VirtualDisplay();
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    [[nodiscard]] const std::string& name() const { return name_; }

  private:
    TempDir folder_;
    pid_t pid_ = -1;
    std::string name_;
};

}  // namespace quenta::testing
