#pragma once

#include <string>

namespace quenta::linux_platform {

// Where the extension's hosts find the main application's executable. Fixed when the host was
// built: a host in the build tree starts the build tree's own quentaapp, an installed host starts
// the installed one (<prefix>/bin/quentaapp unless the build chose another path).
[[nodiscard]] std::string mainApplicationPath();

// Where the hosts' LazyHttpClient finds the HTTP client module, fixed the same way.
[[nodiscard]] std::string httpClientModulePath();

}  // namespace quenta::linux_platform
