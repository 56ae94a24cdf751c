#pragma once

#include "ports/error.hpp"

#include <string>
#include <vector>

namespace quenta {

// The desktop's workspace: showing items in the file manager and opening things. Main thread only.
class Workspace {
  public:
    virtual ~Workspace() = default;

    // Opens a file-manager window with the given items (absolute paths) selected. Returns at once:
    // the file manager is asked in the background, in the order of the calls, and where it does
    // not answer the folder of the first item is opened instead. Best effort: the outcome is not
    // reported, as the caller has nothing to do about it.
    virtual void revealItems(const std::vector<std::string>& paths) = 0;

    // Tells file managers that watch for it (those that do not watch the Trash themselves) that
    // these items (absolute paths) have just been moved to the Trash, so that an open view of the
    // Trash or of their folder shows it at once. Best effort, without waiting; by default nothing.
    virtual void itemsTrashed(const std::vector<std::string>& /*paths*/) {}

    // Opens a new terminal window in `folder` (an absolute path to a folder) running the user's
    // login shell. An error, with the reason, when no terminal could be started; a terminal that
    // started counts as opened whatever it does next. Nothing is left behind on Linux, where the
    // desktop's terminal starts in the folder. A macOS workspace writes a ".command" script (owner
    // only, that mode from its first byte) that changes to the folder, removes itself and becomes
    // the login shell, and opens it with Terminal.
    virtual Status openTerminal(const std::string& folder) = 0;

    // Opens an address: a URL with the desktop's handler for its scheme (a web page in the default
    // browser), or on Linux an application named by its desktop-entry ID ("name.desktop"). An
    // error when nothing could be started; a workspace that opens no addresses always fails.
    virtual Status openURL(const std::string& address) {
        return Error{ErrorKind::unsupported, "this workspace opens no address: " + address};
    }
};

}  // namespace quenta
