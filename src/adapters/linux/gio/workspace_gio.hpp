#pragma once

#include "ports/workspace.hpp"

namespace quenta::linux_platform {

// The desktop workspace through GIO. Items are revealed by the file manager's D-Bus interface
// org.freedesktop.FileManager1.ShowItems on the session bus; where no session bus or no file
// manager answers, nothing is shown. A ".command" script opens in a new terminal window of the
// user's terminal emulator, run by the interpreter of its first line; any other file goes to the
// desktop's default handler for it.
class GioWorkspace : public Workspace {
  public:
    void revealItems(const std::vector<std::string>& paths) override;
    bool openFile(const std::string& path) override;
    // A URL goes to the default handler of its scheme; "name.desktop" (no scheme, no folder)
    // starts the installed application of that desktop-entry ID.
    bool openURL(const std::string& address) override;
};

}  // namespace quenta::linux_platform
