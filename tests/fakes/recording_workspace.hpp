#pragma once

#include <string>
#include <vector>

#include "platform/workspace.hpp"

namespace quenta::testing {

// Records what the logic asked the workspace to do.
class RecordingWorkspace : public Workspace {
public:
    void revealItems(const std::vector<std::string>& paths) override { revealed.push_back(paths); }

    std::vector<std::vector<std::string>> revealed;
};

}  // namespace quenta::testing
