#pragma once

#include "ports/workspace.hpp"

#include <cstdio>

namespace quenta::linux_platform {

// The workspace of a run without a display: each item that would be shown selected in the file
// manager is printed, one absolute path a line, so scripts can pick up what was made. A terminal
// window cannot be opened without a display: asking for one fails and says so.
class ConsoleWorkspace : public Workspace {
  public:
    explicit ConsoleWorkspace(std::FILE* stream) : stream_(stream) {}

    void revealItems(const std::vector<std::string>& paths) override;
    Status openTerminal(const std::string& folder) override;

  private:
    std::FILE* stream_;
};

}  // namespace quenta::linux_platform
