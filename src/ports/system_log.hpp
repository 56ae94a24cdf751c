#pragma once

#include <string_view>

namespace quenta {

// The system log. The message is recorded verbatim: it is never read as a format string.
class SystemLog {
  public:
    virtual ~SystemLog() = default;
    virtual void write(std::string_view message) = 0;
};

}  // namespace quenta
