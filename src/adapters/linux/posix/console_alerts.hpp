#pragma once

#include "ports/alerts.hpp"

#include <cstdio>

namespace quenta::linux_platform {

// Alerts of a run without a display: the title line, the message (it may span lines) and an empty
// line on the given stream, control characters escaped (the message keeps its own line feeds; the
// names in it were escaped whole where it was composed). Counts the alerts shown so the process can
// report them in its status. No one can be asked a question here: every confirmation is
// unavailable.
class ConsoleAlerts : public Alerts {
  public:
    explicit ConsoleAlerts(std::FILE* stream) : stream_(stream) {}

    void runModal(const AlertContent& alert) override;
    ConfirmationAnswer confirm(const ConfirmationContent& confirmation) override;
    [[nodiscard]] int shownCount() const { return shownCount_; }

  private:
    std::FILE* stream_;
    int shownCount_ = 0;
};

}  // namespace quenta::linux_platform
