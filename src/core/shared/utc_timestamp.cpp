#include "core/shared/utc_timestamp.hpp"

#include <cstdio>

namespace quenta {

std::string formatUtcTimestamp(std::chrono::system_clock::time_point instant) {
    using namespace std::chrono;
    const auto seconds = floor<std::chrono::seconds>(instant);
    const auto days = floor<std::chrono::days>(seconds);
    const year_month_day date{days};
    const hh_mm_ss<std::chrono::seconds> time{seconds - days};

    char text[40];
    const int written = std::snprintf(
        text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d +0000", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
        static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
        static_cast<int>(time.seconds().count()));
    return written > 0 ? std::string(text, static_cast<std::size_t>(written)) : std::string();
}

}  // namespace quenta
