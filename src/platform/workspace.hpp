#pragma once

#include <string>
#include <vector>

namespace quenta {

// The desktop's workspace: showing items in the file manager and opening things. Main thread only.
class Workspace {
public:
    virtual ~Workspace() = default;

    // Opens a file-manager window with the given items (absolute paths) selected. Best effort: the
    // outcome is not reported, as the caller has nothing to do about it.
    virtual void revealItems(const std::vector<std::string>& paths) = 0;
};

}  // namespace quenta
