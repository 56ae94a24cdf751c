#pragma once

#include <chrono>
#include <string>

namespace quenta {

// The instant as "YYYY-MM-DD HH:MM:SS +0000" in UTC, whole seconds (fractions are dropped).
std::string formatUtcTimestamp(std::chrono::system_clock::time_point instant);

}  // namespace quenta
