#pragma once

#include <optional>
#include <string>

namespace quenta {

// Facts about the running deliverable that are fixed when it is built.
class Bundle {
  public:
    virtual ~Bundle() = default;

    // The release version the deliverable was built as ("1.4.2"); none when it was built without.
    [[nodiscard]] virtual std::optional<std::string> shortVersionString() const = 0;

    // The folder of the plug-ins built into the application (the file manager's extension module
    // is there); none when the deliverable has no such folder.
    [[nodiscard]] virtual std::optional<std::string> builtInPlugInsPath() const {
        return std::nullopt;
    }
    // Where the application itself is registered with the desktop: the application bundle, or on
    // Linux the folder of desktop entries that holds the application's entry. Empty when unknown.
    [[nodiscard]] virtual std::string bundlePath() const { return {}; }
};

}  // namespace quenta
