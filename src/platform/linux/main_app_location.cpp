#include "platform/linux/main_app_location.hpp"

#ifndef QUENTA_MAIN_APP_PATH
#error "QUENTA_MAIN_APP_PATH must name the main application's executable"
#endif
#ifndef QUENTA_HTTP_MODULE_PATH
#error "QUENTA_HTTP_MODULE_PATH must name the HTTP client module"
#endif

namespace quenta::linux_platform {

std::string mainApplicationPath() {
    return QUENTA_MAIN_APP_PATH;
}

std::string httpClientModulePath() {
    return QUENTA_HTTP_MODULE_PATH;
}

}  // namespace quenta::linux_platform
