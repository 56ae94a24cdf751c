#include "adapters/linux/posix/install_layout.hpp"

#if !defined(QUENTA_MAIN_APP_PATH) || !defined(QUENTA_HTTP_MODULE_PATH) || \
    !defined(QUENTA_SHELL_MODULE_PATH) || !defined(QUENTA_PLUGINS_PATH) || \
    !defined(QUENTA_DESKTOP_ENTRIES_PATH)
#error "the install layout's paths must be given by the build"
#endif
#ifndef QUENTA_LOCALE_PATH
#error "the install layout's message catalogues folder must be given by the build"
#endif

namespace quenta::linux_platform {

std::string mainApplicationPath() {
    return QUENTA_MAIN_APP_PATH;
}

std::string httpClientModulePath() {
    return QUENTA_HTTP_MODULE_PATH;
}

std::string shellModulePath() {
    return QUENTA_SHELL_MODULE_PATH;
}

std::string builtInPlugInsPath() {
    return QUENTA_PLUGINS_PATH;
}

std::string desktopEntriesPath() {
    return QUENTA_DESKTOP_ENTRIES_PATH;
}

std::string localeDirectory() {
    return QUENTA_LOCALE_PATH;
}

}  // namespace quenta::linux_platform
