#include "adapters/linux/posix/console_alerts.hpp"

#include "core/shared/utf8.hpp"

#include <string>

namespace quenta::linux_platform {

void ConsoleAlerts::runModal(const AlertContent& alert) {
    ++shownCount_;
    const std::string text =
        escapingForOutput(alert.title) + "\n" + escapingForOutput(alert.message, true) + "\n\n";
    std::fwrite(text.data(), 1, text.size(), stream_);
    std::fflush(stream_);
}

ConfirmationAnswer ConsoleAlerts::confirm(const ConfirmationContent& confirmation) {
    static_cast<void>(confirmation);
    return ConfirmationAnswer::unavailable;
}

}  // namespace quenta::linux_platform
