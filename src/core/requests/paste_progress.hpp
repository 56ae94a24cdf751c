#pragma once

#include "ports/clock.hpp"
#include "ports/file_system.hpp"
#include "ports/progress_display.hpp"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace quenta {

// The progress of one paste. Nothing is shown until the paste has been copying for a second;
// from then on the display follows the item being copied, at most ten times a second, and its
// cancel stops the paste after the current file. Main thread; lives for one paste.
class PasteProgress : public MoveObserver {
  public:
    static constexpr std::chrono::milliseconds kShowAfter{1000};
    static constexpr std::chrono::milliseconds kUpdateEvery{100};

    PasteProgress(ProgressDisplay& display, const Clock& clock)
        : display_(display), clock_(clock) {}
    PasteProgress(const PasteProgress&) = delete;
    PasteProgress& operator=(const PasteProgress&) = delete;
    ~PasteProgress() override { finish(); }

    void copyStarted(const std::string& from, std::uint64_t totalBytes) override;
    void copied(std::uint64_t bytes) override;
    [[nodiscard]] bool cancelRequested() override;

    // True once the user asked to stop; the paste then moves nothing more.
    [[nodiscard]] bool cancelled() const { return cancelled_; }
    // Takes the display away, if it was shown.
    void finish();

  private:
    void refresh(bool force);

    ProgressDisplay& display_;
    const Clock& clock_;
    std::optional<std::chrono::system_clock::time_point> copyingSince_;
    std::chrono::system_clock::time_point lastShown_;
    std::string item_;
    std::uint64_t done_ = 0;
    std::uint64_t total_ = 0;
    bool shown_ = false;
    bool cancelled_ = false;
};

}  // namespace quenta
