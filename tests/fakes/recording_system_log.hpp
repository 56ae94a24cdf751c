#pragma once

#include "ports/system_log.hpp"

#include <string>
#include <vector>

namespace quenta::testing {

class RecordingSystemLog : public SystemLog {
  public:
    void write(std::string_view message) override { messages.emplace_back(message); }
    std::vector<std::string> messages;
};

}  // namespace quenta::testing
