#pragma once

#include "ports/localizer.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace quenta {

// The fifteen file kinds, in their declaration order. Both the application's QuentaKind and the
// extension's FileTemplate are views of this one table, so their raw names and extensions cannot
// drift apart.
enum class FileKindId : std::uint8_t {
    plainText,
    markdown,
    richText,
    csv,
    json,
    html,
    css,
    word,
    pdf,
    powerpoint,
    excel,
    javascript,
    python,
    swift,
    shell,  // the last: kFileKindCount counts up to it
};

inline constexpr std::size_t kFileKindCount = static_cast<std::size_t>(FileKindId::shell) + 1;

// Whether a table indexed by file kind has one row per kind, row i being the kind of value i.
// Each such table checks itself with a static_assert, so a kind added to the enum and missed in a
// table does not compile.
template <class Row, std::size_t N>
constexpr bool hasOneRowPerFileKind(const std::array<Row, N>& table) {
    for (std::size_t i = 0; i < N; ++i) {
        if (static_cast<std::size_t>(table[i].id) != i) {
            return false;
        }
    }
    return N == kFileKindCount;
}

struct FileKindRow {
    FileKindId id;
    std::string_view rawName;
    std::string_view menuTitle;  // a key of the user's language
    // The start of a new file's name: a key of the user's language (the Chinese names stand in
    // the Chinese and untranslated interfaces).
    std::string_view baseName;
    std::string_view fileExtension;
    bool isExecutable;
};

inline constexpr std::array<FileKindRow, kFileKindCount> kFileKinds{{
    {FileKindId::plainText, "plainText", textKey("文本文档 (.txt)"), textKey("新建文本文档"), "txt",
     false},
    {FileKindId::markdown, "markdown", textKey("Markdown (.md)"), textKey("新建Markdown"), "md",
     false},
    {FileKindId::richText, "richText", textKey("富文本 (.rtf)"), textKey("新建富文本"), "rtf",
     false},
    {FileKindId::csv, "csv", textKey("CSV 表格 (.csv)"), textKey("新建CSV"), "csv", false},
    {FileKindId::json, "json", textKey("JSON (.json)"), textKey("新建JSON"), "json", false},
    {FileKindId::html, "html", textKey("HTML (.html)"), textKey("新建HTML"), "html", false},
    {FileKindId::css, "css", textKey("CSS (.css)"), textKey("新建CSS"), "css", false},
    {FileKindId::word, "word", textKey("Word 文档 (.docx)"), textKey("新建Word文档"), "docx",
     false},
    {FileKindId::pdf, "pdf", textKey("PDF 文档 (.pdf)"), textKey("新建PDF"), "pdf", false},
    {FileKindId::powerpoint, "powerpoint", textKey("PowerPoint 演示文稿 (.pptx)"),
     textKey("新建PowerPoint"), "pptx", false},
    {FileKindId::excel, "excel", textKey("Excel 表格 (.xlsx)"), textKey("新建Excel表格"), "xlsx",
     false},
    {FileKindId::javascript, "javascript", textKey("JavaScript (.js)"), textKey("新建JavaScript"),
     "js", false},
    {FileKindId::python, "python", textKey("Python (.py)"), textKey("新建Python"), "py", true},
    {FileKindId::swift, "swift", textKey("Swift (.swift)"), textKey("新建Swift"), "swift", false},
    {FileKindId::shell, "shell", textKey("Shell 脚本 (.sh)"), textKey("新建Shell脚本"), "sh", true},
}};
static_assert(hasOneRowPerFileKind(kFileKinds));

constexpr const FileKindRow& fileKindRow(FileKindId id) {
    return kFileKinds[static_cast<std::size_t>(id)];
}

// The kind whose raw name equals `rawName` exactly (case-sensitive, no trimming), or none.
constexpr std::optional<FileKindId> fileKindFromRawName(std::string_view rawName) {
    for (const auto& row : kFileKinds) {
        if (row.rawName == rawName) {
            return row.id;
        }
    }
    return std::nullopt;
}

}  // namespace quenta
