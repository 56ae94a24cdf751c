#pragma once

#include "ports/error.hpp"

#include <string>
#include <vector>

namespace quenta::linux_platform {

// Hands a command line's arguments (options, then request URLs) to the application's resident
// instance, the owner of the application ID on the session bus, as a GApplication command line.
// Needs GIO only, so a later start of the application neither loads nor starts its desktop shell.
// Returns the exit status the resident instance answered once it has taken the URLs; an Error of
// kind notFound when no instance runs or no session bus is known (no bus is started for the check),
// and GIO's message when the bus could not be asked.
Result<int> handToRunningInstance(const std::string& applicationId,
                                  const std::vector<std::string>& arguments);

}  // namespace quenta::linux_platform
