#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quenta::linux_platform {

// The session-bus side of a file-manager module that shows new items in its own windows (see
// window_reveal_names.hpp): owns kWindowRevealBusNamePrefix + "p" + the process ID and answers
// ShowItems(as paths) -> (b shown) with `show`. The name is owned only where a session bus is
// already running (never started for a module in a test host), and given up when this object is
// destroyed. Main thread only; `show` is called on the thread-default main context of the thread
// that made this object.
class WindowRevealService {
  public:
    using Show = std::function<bool(const std::vector<std::string>& paths)>;

    explicit WindowRevealService(Show show);
    ~WindowRevealService();
    WindowRevealService(const WindowRevealService&) = delete;
    WindowRevealService& operator=(const WindowRevealService&) = delete;

    struct Bus;

  private:
    Show show_;
    unsigned ownerId_ = 0;
    unsigned registrationId_ = 0;
    void* connection_ = nullptr;  // GDBusConnection, kept out of this header
};

}  // namespace quenta::linux_platform
