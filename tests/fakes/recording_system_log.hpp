#pragma once

#include <string>
#include <vector>

#include "platform/system_log.hpp"

namespace quenta::testing {

class RecordingSystemLog : public SystemLog {
public:
    void write(std::string_view message) override { messages.emplace_back(message); }
    std::vector<std::string> messages;
};

}  // namespace quenta::testing
