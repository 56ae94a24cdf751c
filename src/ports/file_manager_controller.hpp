#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quenta {

// What the file manager reports to its extension while it asks for a menu or runs a command.
// Paths are plain absolute POSIX paths without a trailing "/".
class FileManagerController {
  public:
    virtual ~FileManagerController() = default;

    // The target of the menu or command, normally the folder shown; it may name a file.
    [[nodiscard]] virtual std::optional<std::string> targetedURL() const = 0;
    // The selected items in the file manager's order; none when it reports no list at all.
    [[nodiscard]] virtual std::optional<std::vector<std::string>> selectedItemURLs() const = 0;
    // The address (a URI such as "trash:///" or "sftp://host/folder") of the place shown when it
    // has no local path, which the file manager then reports as neither a target nor selected
    // items; none for a local folder, or where the file manager reports no such place.
    [[nodiscard]] virtual std::optional<std::string> placeAddress() const { return std::nullopt; }
    // The folders whose menus the extension serves.
    virtual void setDirectoryURLs(const std::vector<std::string>& folders) = 0;
};

}  // namespace quenta
