#pragma once

#include "core/shared/file_kinds.hpp"

#include <optional>
#include <string_view>

namespace quenta {

// A kind of file the application creates: the shared table's names plus the bytes of a new file and
// whether it is made executable.
class QuentaKind {
  public:
    constexpr explicit QuentaKind(FileKindId id) : id_(id) {}

    // The kind whose raw name is exactly `rawName`, or none.
    static constexpr std::optional<QuentaKind> fromRawValue(std::string_view rawName) {
        if (const auto id = fileKindFromRawName(rawName)) {
            return QuentaKind(*id);
        }
        return std::nullopt;
    }

    [[nodiscard]] constexpr FileKindId id() const { return id_; }
    [[nodiscard]] constexpr std::string_view rawValue() const { return fileKindRow(id_).rawName; }
    [[nodiscard]] constexpr std::string_view baseName() const { return fileKindRow(id_).baseName; }
    [[nodiscard]] constexpr std::string_view fileExtension() const {
        return fileKindRow(id_).fileExtension;
    }
    [[nodiscard]] constexpr bool isExecutable() const { return fileKindRow(id_).isExecutable; }

    // The bytes of a new file of this kind: a starter text or one of the document templates.
    [[nodiscard]] std::string_view contents() const;

    friend constexpr bool operator==(QuentaKind, QuentaKind) = default;

  private:
    FileKindId id_;
};

}  // namespace quenta
