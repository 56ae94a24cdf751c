#include "adapters/linux/posix/syslog_system_log.hpp"

#include <syslog.h>

#include <string>

namespace quenta::linux_platform {

void SyslogSystemLog::write(std::string_view message) {
    const std::string text(message);
    // The message is an argument, never the format: "%" in paths is logged as it stands.
    ::syslog(LOG_USER | LOG_INFO, "%s", text.c_str());
}

}  // namespace quenta::linux_platform
