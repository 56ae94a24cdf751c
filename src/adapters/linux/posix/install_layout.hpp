#pragma once

#include <string>

namespace quenta::linux_platform {

// Where the executables and modules find one another. Fixed when they were built: the build
// tree's programs use the build tree's files, the installed ones the installed files under the
// prefix chosen when the project was configured.

// The main application's executable, started by the extension's hosts with a request URL.
[[nodiscard]] std::string mainApplicationPath();
// The HTTP client module that the hosts' LazyHttpClient loads when an update check is due.
[[nodiscard]] std::string httpClientModulePath();
// The main application's desktop shell module (GTK), loaded only when a display is present.
[[nodiscard]] std::string shellModulePath();
// The main application's built-in plug-ins folder, which holds the GNOME Files module.
[[nodiscard]] std::string builtInPlugInsPath();
// The folder of desktop entries that holds quentaapp.desktop.
[[nodiscard]] std::string desktopEntriesPath();
// The folder of compiled message catalogues (LANG/LC_MESSAGES/quenta.mo).
[[nodiscard]] std::string localeDirectory();

}  // namespace quenta::linux_platform
