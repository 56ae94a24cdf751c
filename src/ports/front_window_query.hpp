#pragma once

#include "ports/error.hpp"

#include <string>
#include <string_view>

namespace quenta {

// Asks the file manager, by a script, for the folder of its front window.
class FrontWindowQuery {
  public:
    virtual ~FrontWindowQuery() = default;
    // Runs the script synchronously on the caller's thread: the folder's POSIX path, or an Error
    // whose description is the platform's account of the failure (empty when it gave none).
    virtual Result<std::string> run(std::string_view scriptSource) = 0;
};

}  // namespace quenta
