#include "adapters/linux/posix/console_alerts.hpp"

#include <string>

namespace quenta::linux_platform {

void ConsoleAlerts::runModal(const AlertContent& alert) {
    ++shownCount_;
    const std::string text = alert.title + "\n" + alert.message + "\n\n";
    std::fwrite(text.data(), 1, text.size(), stream_);
    std::fflush(stream_);
}

}  // namespace quenta::linux_platform
