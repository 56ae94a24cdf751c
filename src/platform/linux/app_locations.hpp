#pragma once

#include <string>

namespace quenta::linux_platform {

// Where the main application finds its own parts. Fixed when it was built: the build tree's
// quentaapp uses the build tree's files, the installed one the installed files.

// The desktop shell module (GTK), loaded only when a display is present.
[[nodiscard]] std::string shellModulePath();
// The built-in plug-ins folder that holds the GNOME Files module.
[[nodiscard]] std::string builtInPlugInsPath();
// The folder of desktop entries that holds quentaapp.desktop.
[[nodiscard]] std::string desktopEntriesPath();

}  // namespace quenta::linux_platform
