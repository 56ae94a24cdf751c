#pragma once

#include "ports/bundle.hpp"

namespace quenta::linux_platform {

// The bundle facts of a Linux build: the version is the project's version given to CMake.
class ProjectBundle : public Bundle {
  public:
    [[nodiscard]] std::optional<std::string> shortVersionString() const override;
};

}  // namespace quenta::linux_platform
