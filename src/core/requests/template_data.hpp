#pragma once

#include <string_view>

namespace quenta {

// The document templates: an empty Word document, a one-page A4 PDF, a one-slide 4:3 presentation
// and a one-sheet workbook. The Office packages are built from the XML parts under templates/ when
// the project is built; the bytes live in the program's read-only data for the life of the process.
struct TemplateData {
    static std::string_view wordDocument();
    static std::string_view pdfDocument();
    static std::string_view powerPointPresentation();
    static std::string_view excelWorkbook();
};

}  // namespace quenta
