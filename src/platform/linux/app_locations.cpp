#include "platform/linux/app_locations.hpp"

#if !defined(QUENTA_SHELL_MODULE_PATH) || !defined(QUENTA_PLUGINS_PATH) || \
    !defined(QUENTA_DESKTOP_ENTRIES_PATH)
#error "the application's locations must be given by the build"
#endif

namespace quenta::linux_platform {

std::string shellModulePath() {
    return QUENTA_SHELL_MODULE_PATH;
}

std::string builtInPlugInsPath() {
    return QUENTA_PLUGINS_PATH;
}

std::string desktopEntriesPath() {
    return QUENTA_DESKTOP_ENTRIES_PATH;
}

}  // namespace quenta::linux_platform
