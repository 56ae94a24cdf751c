#pragma once

#include "ports/icons.hpp"

namespace quenta::linux_platform {

// Icons as freedesktop icon-theme names: a MIME-type icon per file extension, and each system
// symbol the menus use mapped to its standard action or place icon.
class FreedesktopIcons : public Icons {
  public:
    [[nodiscard]] MenuImage iconForFileType(std::string_view fileExtension) override;
    [[nodiscard]] std::optional<MenuImage> symbolImage(
        std::string_view symbolName, std::string_view accessibilityDescription) override;
};

}  // namespace quenta::linux_platform
