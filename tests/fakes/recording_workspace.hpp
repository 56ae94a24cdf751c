#pragma once

#include "ports/workspace.hpp"

#include <set>
#include <string>
#include <vector>

namespace quenta::testing {

// Records what the logic asked the workspace to do.
class RecordingWorkspace : public Workspace {
  public:
    void revealItems(const std::vector<std::string>& paths) override { revealed.push_back(paths); }
    void itemsTrashed(const std::vector<std::string>& paths) override { trashed.push_back(paths); }

    Status openTerminal(const std::string& folder) override {
        terminals.push_back(folder);
        if (!terminalAnswer) {
            return Error{ErrorKind::notFound, "no terminal emulator is installed"};
        }
        return {};
    }

    Status openURL(const std::string& address) override {
        openedURLs.push_back(address);
        if (refusedURLs.count(address) != 0) {
            return Error{ErrorKind::notFound, "nothing opens " + address};
        }
        return {};
    }

    std::vector<std::vector<std::string>> revealed;
    // The folders terminals were opened in.
    std::vector<std::string> terminals;
    bool terminalAnswer = true;
    std::vector<std::vector<std::string>> trashed;
    std::vector<std::string> openedURLs;
    // Addresses the workspace cannot open; every other one opens.
    std::set<std::string> refusedURLs;
};

}  // namespace quenta::testing
