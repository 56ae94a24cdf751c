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

    bool openFile(const std::string& path) override {
        opened.push_back(path);
        return openAnswer;
    }

    bool openURL(const std::string& address) override {
        openedURLs.push_back(address);
        return refusedURLs.count(address) == 0;
    }

    std::vector<std::vector<std::string>> revealed;
    std::vector<std::string> opened;
    bool openAnswer = true;
    std::vector<std::string> openedURLs;
    // Addresses the workspace cannot open; every other one opens.
    std::set<std::string> refusedURLs;
};

}  // namespace quenta::testing
