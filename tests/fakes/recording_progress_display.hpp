#pragma once

#include "ports/progress_display.hpp"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quenta::testing {

// Records what it was asked to show; answers a cancel once `cancelAfterShows` shows were made
// (0: never).
class RecordingProgressDisplay : public ProgressDisplay {
  public:
    struct Shown {
        std::string item;
        std::uint64_t done = 0;
        std::uint64_t total = 0;
        friend bool operator==(const Shown&, const Shown&) = default;
    };
    void show(const std::string& item, std::uint64_t doneBytes, std::uint64_t totalBytes) override {
        shown.push_back({item, doneBytes, totalBytes});
    }
    bool cancelRequested() override {
        return cancelAfterShows > 0 && static_cast<int>(shown.size()) >= cancelAfterShows;
    }
    void close() override { ++closed; }

    std::vector<Shown> shown;
    int closed = 0;
    int cancelAfterShows = 0;
};

}  // namespace quenta::testing
