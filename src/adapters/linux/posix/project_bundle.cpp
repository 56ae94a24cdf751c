#include "adapters/linux/posix/project_bundle.hpp"

#ifndef QUENTA_PROJECT_VERSION
#define QUENTA_PROJECT_VERSION ""
#endif

namespace quenta::linux_platform {

std::optional<std::string> ProjectBundle::shortVersionString() const {
    const std::string version = QUENTA_PROJECT_VERSION;
    if (version.empty()) {
        return std::nullopt;
    }
    return version;
}

}  // namespace quenta::linux_platform
