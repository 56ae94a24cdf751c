#pragma once

#include "platform/workspace.hpp"

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

    std::vector<std::vector<std::string>> revealed;
    std::vector<std::string> opened;
    bool openAnswer = true;
};

}  // namespace quenta::testing
