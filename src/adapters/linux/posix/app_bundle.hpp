#pragma once

#include "adapters/linux/posix/project_bundle.hpp"

#include <string>
#include <utility>

namespace quenta::linux_platform {

// The main application's bundle facts: the project's version, the plug-ins folder and the folder
// of its desktop entry, as given (they come from the install layout when the application starts).
class AppBundle : public ProjectBundle {
  public:
    AppBundle(std::string plugInsPath, std::string desktopEntriesPath)
        : plugInsPath_(std::move(plugInsPath)),
          desktopEntriesPath_(std::move(desktopEntriesPath)) {}

    [[nodiscard]] std::optional<std::string> builtInPlugInsPath() const override {
        if (plugInsPath_.empty()) {
            return std::nullopt;
        }
        return plugInsPath_;
    }
    [[nodiscard]] std::string bundlePath() const override { return desktopEntriesPath_; }

  private:
    std::string plugInsPath_;
    std::string desktopEntriesPath_;
};

}  // namespace quenta::linux_platform
