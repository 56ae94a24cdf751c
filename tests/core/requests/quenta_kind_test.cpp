#include "core/requests/quenta_kind.hpp"

#include <gtest/gtest.h>

namespace quenta {
namespace {

TEST(QuentaKindTest, EveryKindRoundTripsThroughItsRawNameAndNothingElseMatches) {
    for (const auto& row : kFileKinds) {
        const auto kind = QuentaKind::fromRawValue(row.rawName);
        ASSERT_TRUE(kind.has_value()) << row.rawName;
        EXPECT_EQ(kind->id(), row.id);
        EXPECT_EQ(kind->rawValue(), row.rawName);
    }
    for (const char* text : {"Markdown", "md", "txt", "", " markdown", "markdown ", "plaintext"}) {
        EXPECT_FALSE(QuentaKind::fromRawValue(text).has_value()) << text;
    }
}

TEST(QuentaKindTest, ExactlyPythonAndShellAreExecutable) {
    for (const auto& row : kFileKinds) {
        const bool expected = row.id == FileKindId::python || row.id == FileKindId::shell;
        EXPECT_EQ(QuentaKind(row.id).isExecutable(), expected) << row.rawName;
    }
}

TEST(QuentaKindTest, TextKindsHoldTheirStarterTexts) {
    const std::vector<std::pair<FileKindId, std::string>> expected = {
        {FileKindId::plainText, ""},
        {FileKindId::markdown, "# Untitled\n"},
        {FileKindId::richText, "{\\rtf1\\ansi\\deff0\\n}"},
        {FileKindId::csv, "name,value\n"},
        {FileKindId::json, "{\n  \n}\n"},
        {FileKindId::javascript, "console.log('Hello');\n"},
        {FileKindId::python, "#!/usr/bin/env python3\n\n"},
        {FileKindId::swift, "import Foundation\n\n"},
        {FileKindId::shell, "#!/bin/zsh\n\n"},
        {FileKindId::css, ":root {\n  color-scheme: light dark;\n}\n\nbody {\n  margin: 0;\n}"},
    };
    for (const auto& [id, text] : expected) {
        EXPECT_EQ(QuentaKind(id).contents(), text) << fileKindRow(id).rawName;
    }
    EXPECT_EQ(QuentaKind(FileKindId::richText).contents().size(), 20u);
    const auto html = QuentaKind(FileKindId::html).contents();
    EXPECT_EQ(html.size(), 195u);
    EXPECT_EQ(html.substr(0, 16), "<!doctype html>\n");
    EXPECT_EQ(html.substr(html.size() - 8), "\n</html>");
    EXPECT_EQ(QuentaKind(FileKindId::css).contents().size(), 60u);
}

}  // namespace
}  // namespace quenta
