#include "adapters/linux/posix/freedesktop_icons.hpp"

#include <array>
#include <string>
#include <utility>

namespace quenta::linux_platform {
namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 15> kFileTypeIcons{{
    {"txt", "text-plain"},
    {"md", "text-markdown"},
    {"rtf", "text-rtf"},
    {"csv", "text-csv"},
    {"json", "application-json"},
    {"html", "text-html"},
    {"css", "text-css"},
    {"docx", "x-office-document"},
    {"pdf", "application-pdf"},
    {"pptx", "x-office-presentation"},
    {"xlsx", "x-office-spreadsheet"},
    {"js", "text-javascript"},
    {"py", "text-x-python"},
    {"swift", "text-x-script"},
    {"sh", "application-x-shellscript"},
}};

constexpr std::array<std::pair<std::string_view, std::string_view>, 12> kSymbolIcons{{
    {"doc.badge.plus", "document-new"},
    {"folder.badge.plus", "folder-new"},
    {"scissors", "edit-cut"},
    {"doc.on.clipboard", "edit-paste"},
    {"trash", "user-trash"},
    {"link", "insert-link"},
    {"terminal", "utilities-terminal"},
    {"arrow.down.circle", "software-update-available"},
    {"arrow.clockwise", "view-refresh"},
    // The installer window's commands.
    {"wand.and.stars", "system-software-install"},
    {"plus.app", "list-add"},
    {"switch.2", "preferences-system"},
}};

}  // namespace

MenuImage FreedesktopIcons::iconForFileType(std::string_view fileExtension) {
    for (const auto& [extension, icon] : kFileTypeIcons) {
        if (extension == fileExtension) {
            return {std::string(icon), "", 16, 16};
        }
    }
    return {"text-x-generic", "", 16, 16};
}

std::optional<MenuImage> FreedesktopIcons::symbolImage(std::string_view symbolName,
                                                       std::string_view accessibilityDescription) {
    for (const auto& [symbol, icon] : kSymbolIcons) {
        if (symbol == symbolName) {
            return MenuImage{std::string(icon), std::string(accessibilityDescription), 16, 16};
        }
    }
    return std::nullopt;
}

}  // namespace quenta::linux_platform
