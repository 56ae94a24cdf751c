#pragma once

#include "ports/error.hpp"

#include <functional>
#include <string>

namespace quenta {

// Hands URLs to applications: the main application at its fixed location, or the default handler.
class ApplicationLauncher {
  public:
    // Called once the application has taken the URL (success), or with the reason the URL could
    // not be handed to it. It always runs on the main thread, through the main queue, after
    // openWithMainApplication has returned, whatever the outcome.
    using Completion = std::function<void(Status)>;

    virtual ~ApplicationLauncher() = default;

    // Opens the URL with the main application without bringing it to the front. Returns at once.
    virtual void openWithMainApplication(const std::string& url, Completion completion) = 0;
    // Opens a web address in the user's default browser; the outcome is not reported.
    virtual void openInBrowser(const std::string& url) = 0;
};

}  // namespace quenta
