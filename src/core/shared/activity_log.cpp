#include "core/shared/activity_log.hpp"

#include "core/shared/utc_timestamp.hpp"
#include "core/shared/utf8.hpp"

#include <utility>

namespace quenta {

ActivityLog::ActivityLog(FileSystem& fileSystem, const Clock& clock, std::string fileName,
                         SystemLog* systemLog, std::string systemLogPrefix)
    : fileSystem_(fileSystem),
      clock_(clock),
      fileName_(std::move(fileName)),
      systemLog_(systemLog),
      systemLogPrefix_(std::move(systemLogPrefix)) {}

std::string ActivityLog::formatLine(std::chrono::system_clock::time_point instant,
                                    std::string_view message) {
    std::string line = "[";
    line += formatUtcTimestamp(instant);
    line += "] ";
    line += message;
    line += "\n";
    return line;
}

std::string ActivityLog::path() const {
    return fileSystem_.logsDirectory() + "/" + fileName_;
}

void ActivityLog::write(std::string_view message) noexcept {
    try {
        // The log is UTF-8 text: bytes of a name that are not UTF-8 are written escaped ("\\xff"),
        // so the line still records what was acted on.
        const std::string line = formatLine(clock_.now(), escapingInvalidUtf8(message));
        if (systemLog_ != nullptr) {
            std::string copy = systemLogPrefix_;
            copy += message;
            systemLog_->write(copy);
        }
        ignoreResult(fileSystem_.appendToFile(path(), line),
                     "a line that cannot be written is lost: logging never fails its caller");
    } catch (...) {
        // Logging never fails its caller, not even when memory runs out.
    }
}

}  // namespace quenta
