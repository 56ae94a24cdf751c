#include "core/requests/quenta_kind.hpp"

#include "core/requests/template_data.hpp"

namespace quenta {
namespace {

constexpr std::string_view kHtmlTemplate =
    "<!doctype html>\n"
    "<html lang=\"zh-CN\">\n"
    "<head>\n"
    "  <meta charset=\"utf-8\">\n"
    "  <meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
    "  <title>Untitled</title>\n"
    "</head>\n"
    "<body>\n"
    "</body>\n"
    "</html>";

constexpr std::string_view kCssTemplate =
    ":root {\n"
    "  color-scheme: light dark;\n"
    "}\n"
    "\n"
    "body {\n"
    "  margin: 0;\n"
    "}";

}  // namespace

std::string_view QuentaKind::contents() const {
    switch (id_) {
        case FileKindId::plainText:
            return "";
        case FileKindId::markdown:
            return "# Untitled\n";
        case FileKindId::richText:
            return "{\\rtf1\\ansi\\deff0\\n}";
        case FileKindId::csv:
            return "name,value\n";
        case FileKindId::json:
            return "{\n  \n}\n";
        case FileKindId::html:
            return kHtmlTemplate;
        case FileKindId::css:
            return kCssTemplate;
        case FileKindId::word:
            return TemplateData::wordDocument();
        case FileKindId::pdf:
            return TemplateData::pdfDocument();
        case FileKindId::powerpoint:
            return TemplateData::powerPointPresentation();
        case FileKindId::excel:
            return TemplateData::excelWorkbook();
        case FileKindId::javascript:
            return "console.log('Hello');\n";
        case FileKindId::python:
            return "#!/usr/bin/env python3\n\n";
        case FileKindId::swift:
            return "import Foundation\n\n";
        case FileKindId::shell:
            return "#!/bin/zsh\n\n";
    }
    return "";
}

}  // namespace quenta
