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
        // One message is one line of UTF-8 text: bytes of a name that are not UTF-8 and control
        // characters are written escaped ("\\xff", "\\x0a", "\\u202e"), so the line still records
        // what was acted on and no name can write a line, or drive a terminal, of its own.
        const std::string escaped = escapingForOutput(message);
        const std::string line = formatLine(clock_.now(), escaped);
        if (systemLog_ != nullptr) {
            std::string copy = systemLogPrefix_;
            copy += escaped;
            systemLog_->write(copy);
        }
        ignoreResult(fileSystem_.appendToFile(path(), line),
                     "a line that cannot be written is lost: logging never fails its caller");
    } catch (...) {
        // Logging never fails its caller, not even when memory runs out.
    }
}

}  // namespace quenta
