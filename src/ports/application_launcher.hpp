#pragma once

#include "ports/error.hpp"

#include <functional>
#include <optional>
#include <string>

namespace quenta {

// Hands URLs to applications: the main application at its fixed location, or the default handler.
class ApplicationLauncher {
  public:
    // Called once the application has taken the URL (no error) or could not be started.
    // It may run on any thread.
    using Completion = std::function<void(std::optional<Error>)>;

    virtual ~ApplicationLauncher() = default;

    // Opens the URL with the main application without bringing it to the front. Returns at once.
    virtual void openWithMainApplication(const std::string& url, Completion completion) = 0;
    // Opens a web address in the user's default browser; the outcome is not reported.
    virtual void openInBrowser(const std::string& url) = 0;
};

}  // namespace quenta
