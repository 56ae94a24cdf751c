#pragma once

#include "core/shared/file_kinds.hpp"

#include <optional>
#include <string_view>

namespace quenta {

// A kind of file the extension offers: the shared table's raw name, menu title and extension. The
// extension never writes files, so it knows nothing of their contents.
class FileTemplate {
  public:
    constexpr explicit FileTemplate(FileKindId id) : id_(id) {}

    static constexpr std::optional<FileTemplate> fromRawValue(std::string_view rawName) {
        if (const auto id = fileKindFromRawName(rawName)) {
            return FileTemplate(*id);
        }
        return std::nullopt;
    }

    [[nodiscard]] constexpr FileKindId id() const { return id_; }
    [[nodiscard]] constexpr std::string_view rawValue() const { return fileKindRow(id_).rawName; }
    [[nodiscard]] constexpr std::string_view menuTitle() const {
        return fileKindRow(id_).menuTitle;
    }
    [[nodiscard]] constexpr std::string_view fileExtension() const {
        return fileKindRow(id_).fileExtension;
    }

    friend constexpr bool operator==(FileTemplate, FileTemplate) = default;

  private:
    FileKindId id_;
};

}  // namespace quenta
