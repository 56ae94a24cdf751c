#pragma once

#include "platform/workspace.hpp"

namespace quenta::linux_platform {

// The desktop workspace through GIO. Items are revealed by the file manager's D-Bus interface
// org.freedesktop.FileManager1.ShowItems on the session bus; where no session bus or no file
// manager answers, nothing is shown.
class GioWorkspace : public Workspace {
  public:
    void revealItems(const std::vector<std::string>& paths) override;
    bool openFile(const std::string& path) override;
};

}  // namespace quenta::linux_platform
