#pragma once

// The boundary between the quentaapp executable and its desktop shell module. The executable
// loads the module (and with it GTK) only when a display is present, and calls its entry point.

#include "core/shared/request_url.hpp"

#include <string>
#include <vector>

namespace quenta {

struct ShellLaunch {
    // The request URLs of the command line, in order, exactly as given.
    std::vector<std::string> urls;
    // Where they came from: outside when the desktop's handler of the scheme started the process.
    RequestOrigin origin = RequestOrigin::host;
    // Where the executable's build placed the plug-ins, the desktop entry and the HTTP client
    // module (loaded on the first update check; it may be missing: it is a package of its own).
    std::string plugInsPath;
    std::string desktopEntriesPath;
    std::string httpModulePath;
    // The folder of the message catalogues of the user's language.
    std::string localeDirectory;
    // A descriptor to write one byte to, and close, once this process has taken the URLs as the
    // resident instance; -1 when no one waits for that. With one, the process was started in the
    // background for the request: the shell leaves the caller's session and its pipes. A process
    // that hands its URLs to another instance writes nothing and simply exits.
    int takenDescriptor = -1;
};

// The module's entry point: runs the application (resident, or handing over to the resident
// instance) and returns the process's exit status, or kShellDisplayUnavailable, having done
// nothing, when the display named by the environment cannot be opened.
using ShellMain = int (*)(const ShellLaunch& launch);
inline constexpr const char* kShellMainSymbol = "quenta_shell_main";
inline constexpr int kShellDisplayUnavailable = -1;

}  // namespace quenta
