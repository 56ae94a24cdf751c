#pragma once

#include "ports/workspace.hpp"

#include <cstdio>

namespace quenta::linux_platform {

// The workspace of a run without a display: each item that would be shown selected in the file
// manager is printed, one absolute path a line with control characters escaped, so scripts can pick
// up what was made; with `nulSeparated` each path is printed unescaped and ended by a NUL byte
// instead, the one byte no path holds. A terminal window cannot be opened without a display:
// asking for one fails and says so.
class ConsoleWorkspace : public Workspace {
  public:
    explicit ConsoleWorkspace(std::FILE* stream, bool nulSeparated = false)
        : stream_(stream), nulSeparated_(nulSeparated) {}

    void revealItems(const std::vector<std::string>& paths) override;
    Status openTerminal(const std::string& folder) override;

  private:
    void print(const std::string& path);

    std::FILE* stream_;
    bool nulSeparated_;
};

}  // namespace quenta::linux_platform
