#pragma once

#include "ports/workspace.hpp"

#include <chrono>
#include <memory>

namespace quenta::linux_platform {

// The desktop workspace through GIO. Items are revealed in the window of a file manager where a
// command was given in their folder, where the extension's module offers one on the session bus
// (window_reveal_names.hpp: the file managers whose FileManager1 opens a new window for every
// item); otherwise by the file manager's D-Bus interface
// org.freedesktop.FileManager1.ShowItems on the session bus, called without waiting: the answer
// comes on the thread-default main context of the calling thread, and where no session bus is
// reachable, or the file manager refuses or does not answer within `revealTimeout`, the folder
// of the first item is opened with the desktop's handler instead. A terminal is the first of
// terminalCommands (XDG_CURRENT_DESKTOP and PATH of the moment) that starts, in the folder,
// running loginShell(); it is not waited for. An address goes to the desktop's default handler,
// whose start is awaited at most `launchTimeout`. Failures carry GIO's own message. Main thread
// only.
class GioWorkspace : public Workspace {
  public:
    explicit GioWorkspace(std::chrono::milliseconds revealTimeout = std::chrono::seconds(5),
                          std::chrono::milliseconds launchTimeout = std::chrono::seconds(10));
    ~GioWorkspace() override;
    GioWorkspace(const GioWorkspace&) = delete;
    GioWorkspace& operator=(const GioWorkspace&) = delete;

    void revealItems(const std::vector<std::string>& paths) override;
    // Announced as KIO announces its own moves to the Trash, by the org.kde.KDirNotify signals
    // FilesRemoved (the items' file URIs) and FilesAdded ("trash:/") on the session bus, which
    // KDE's file views (Dolphin's Trash view among them) follow.
    void itemsTrashed(const std::vector<std::string>& paths) override;
    Status openTerminal(const std::string& folder) override;
    // A URL goes to the default handler of its scheme; "name.desktop" (no scheme, no folder)
    // starts the installed application of that desktop-entry ID.
    Status openURL(const std::string& address) override;

    // Iterates the thread-default main context until every reveal asked for so far has been
    // delivered (answered, or fallen back to opening the folder), at most `bound`: for a process
    // that ends once its requests are handled, which has no main loop of its own.
    void finishReveals(std::chrono::milliseconds bound);

    // The number of reveals not yet delivered.
    [[nodiscard]] int pendingReveals() const;

    struct Reveals;

  private:
    std::chrono::milliseconds revealTimeout_;
    std::chrono::milliseconds launchTimeout_;
    std::shared_ptr<Reveals> reveals_;
};

}  // namespace quenta::linux_platform
