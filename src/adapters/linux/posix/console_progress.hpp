#pragma once

#include "ports/localizer.hpp"
#include "ports/progress_display.hpp"

#include <csignal>
#include <cstdio>

namespace quenta::linux_platform {

// The progress of a run without a display: one line on the stream, rewritten in place, when the
// stream is a terminal (nothing otherwise). While it is shown, an interrupt (Ctrl+C) asks to
// cancel instead of ending the process; a second one ends it as usual. The line is in the user's
// language.
class ConsoleProgress : public ProgressDisplay {
  public:
    explicit ConsoleProgress(std::FILE* stream,
                             const Localizer& localizer = IdentityLocalizer::instance())
        : stream_(stream), localizer_(localizer) {}
    ~ConsoleProgress() override { ConsoleProgress::close(); }
    ConsoleProgress(const ConsoleProgress&) = delete;
    ConsoleProgress& operator=(const ConsoleProgress&) = delete;

    void show(const std::string& item, std::uint64_t doneBytes, std::uint64_t totalBytes) override;
    [[nodiscard]] bool cancelRequested() override;
    void close() override;

  private:
    std::FILE* stream_;
    const Localizer& localizer_;
    bool shown_ = false;
    struct sigaction previous_ {};
};

}  // namespace quenta::linux_platform
