#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quenta {

// An image for a menu item: the platform's icon name, its accessibility description and size in
// points. An empty name stands for an empty image.
struct MenuImage {
    std::string iconName;
    std::string accessibilityDescription;
    int width = 16;
    int height = 16;

    friend bool operator==(const MenuImage&, const MenuImage&) = default;
};

// The desktop's icons.
class Icons {
  public:
    virtual ~Icons() = default;
    // The icon for files with the extension (without the dot).
    [[nodiscard]] virtual MenuImage iconForFileType(std::string_view fileExtension) = 0;
    // The system symbol of that name, or none when the platform has no such symbol.
    [[nodiscard]] virtual std::optional<MenuImage> symbolImage(
        std::string_view symbolName, std::string_view accessibilityDescription) = 0;
};

}  // namespace quenta
