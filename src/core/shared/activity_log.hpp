#pragma once

#include "ports/clock.hpp"
#include "ports/file_system.hpp"
#include "ports/system_log.hpp"

#include <string>
#include <string_view>

namespace quenta {

// One deliverable's activity log: each message becomes the line "[" + UTC timestamp + "] " +
// message
// + "\n", appended to `fileName` in the platform's logs folder. The folder is never created; every
// failure is silent. Lines are appended in one write each, so lines from two threads or processes
// never interleave and an existing log is never truncated.
class ActivityLog {
  public:
    // `systemLog`, when given, also receives `systemLogPrefix` + message, escaped as in the file.
    ActivityLog(FileSystem& fileSystem, const Clock& clock, std::string fileName,
                SystemLog* systemLog = nullptr, std::string systemLogPrefix = {});

    void write(std::string_view message) noexcept;

    // The log file's path.
    [[nodiscard]] std::string path() const;

    // The whole line written for a message at the given instant.
    static std::string formatLine(std::chrono::system_clock::time_point instant,
                                  std::string_view message);

  private:
    FileSystem& fileSystem_;
    const Clock& clock_;
    std::string fileName_;
    SystemLog* systemLog_;
    std::string systemLogPrefix_;
};

}  // namespace quenta
