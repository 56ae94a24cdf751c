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
};

}  // namespace quenta
