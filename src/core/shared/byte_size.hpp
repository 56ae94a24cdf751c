#pragma once

#include "ports/error.hpp"

#include <cstdint>
#include <cstdio>
#include <string>

namespace quenta {

// A byte count as the progress of a long move shows it: megabytes of 10^6 bytes with one decimal
// ("12.3 MB"), the same in the window and on a terminal.
inline std::string megabytesText(std::uint64_t bytes) {
    char text[32];
    ignoreResult(std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6),
                 "32 bytes hold the megabytes of any 64-bit size");
    return text;
}

}  // namespace quenta
