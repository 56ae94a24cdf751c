#pragma once

#include "ports/system_log.hpp"

namespace quenta::linux_platform {

// The system log through syslog(3) (the journal picks it up).
class SyslogSystemLog : public SystemLog {
  public:
    void write(std::string_view message) override;
};

}  // namespace quenta::linux_platform
