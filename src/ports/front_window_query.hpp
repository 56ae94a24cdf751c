#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quenta {

// Asks the file manager, by a script, for the folder of its front window.
class FrontWindowQuery {
  public:
    struct Answer {
        std::optional<std::string> path;  // the folder's POSIX path, when the script gave one
        std::optional<std::string> errorInformation;  // the platform's description of a failure
    };

    virtual ~FrontWindowQuery() = default;
    // Runs the script synchronously on the caller's thread.
    virtual Answer run(std::string_view scriptSource) = 0;
};

}  // namespace quenta
