// The document templates as a consumer sees them: the Office packages are opened with libzip and
// their parts parsed with libxml2, the raw ZIP headers are walked byte by byte, and the PDF's
// cross-reference table is checked against the text it indexes.

#include "core/requests/template_data.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>
#include <zip.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace quenta::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr std::string_view kDeclaration =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)";
const std::string kRelTypes =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
const std::string kPresentationMl = "application/vnd.openxmlformats-officedocument.presentationml.";

const std::pair<const char*, const char*> kNamespaces[] = {
    {"ct", "http://schemas.openxmlformats.org/package/2006/content-types"},
    {"rel", "http://schemas.openxmlformats.org/package/2006/relationships"},
    {"w", "http://schemas.openxmlformats.org/wordprocessingml/2006/main"},
    {"s", "http://schemas.openxmlformats.org/spreadsheetml/2006/main"},
    {"p", "http://schemas.openxmlformats.org/presentationml/2006/main"},
    {"a", "http://schemas.openxmlformats.org/drawingml/2006/main"},
    {"r", "http://schemas.openxmlformats.org/officeDocument/2006/relationships"},
    {"cp", "http://schemas.openxmlformats.org/package/2006/metadata/core-properties"},
    {"dc", "http://purl.org/dc/elements/1.1/"},
    {"dcterms", "http://purl.org/dc/terms/"},
    {"xsi", "http://www.w3.org/2001/XMLSchema-instance"},
    {"ep", "http://schemas.openxmlformats.org/officeDocument/2006/extended-properties"},
    {"vt", "http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes"},
};

const xmlChar* asXml(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}

// One XML part parsed with libxml2, queried with XPath under the prefixes above.
class XmlPart {
  public:
    XmlPart(const std::string& text, const std::string& name)
        : doc_(xmlReadMemory(text.data(), static_cast<int>(text.size()), name.c_str(), nullptr,
                             XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
               &xmlFreeDoc),
          context_(doc_ ? xmlXPathNewContext(doc_.get()) : nullptr, &xmlXPathFreeContext) {
        EXPECT_NE(doc_, nullptr) << name << " is not well-formed XML";
        for (const auto& [prefix, uri] : kNamespaces) {
            if (context_) {
                xmlXPathRegisterNs(context_.get(), asXml(prefix), asXml(uri));
            }
        }
    }

    // The text of every node the expression selects, in document order.
    std::vector<std::string> all(const std::string& xpath) const {
        std::vector<std::string> result;
        if (!context_) {
            return result;
        }
        xmlXPathObjectPtr found = xmlXPathEvalExpression(asXml(xpath.c_str()), context_.get());
        EXPECT_TRUE(found != nullptr && found->type == XPATH_NODESET) << "bad XPath " << xpath;
        if (found != nullptr && found->nodesetval != nullptr) {
            for (int i = 0; i < found->nodesetval->nodeNr; ++i) {
                xmlChar* content = xmlNodeGetContent(found->nodesetval->nodeTab[i]);
                result.emplace_back(content ? reinterpret_cast<const char*>(content) : "");
                xmlFree(content);
            }
        }
        xmlXPathFreeObject(found);
        return result;
    }

    // The text of the one node the expression must select.
    std::string one(const std::string& xpath) const {
        const std::vector<std::string> found = all(xpath);
        return found.size() == 1 ? found.front()
                                 : "<" + std::to_string(found.size()) + " nodes match>";
    }

    std::size_t count(const std::string& xpath) const { return all(xpath).size(); }

  private:
    std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc_;
    std::unique_ptr<xmlXPathContext, decltype(&xmlXPathFreeContext)> context_;
};

// A package opened read-only from memory with libzip; parsed parts are kept for reuse.
class Package {
  public:
    explicit Package(std::string_view bytes) : archive_(nullptr, &zip_discard) {
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
        if (source != nullptr) {
            archive_.reset(zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error));
            if (!archive_) {
                zip_source_free(source);
            }
        }
        EXPECT_NE(archive_, nullptr) << "not a ZIP archive: " << zip_error_strerror(&error);
        zip_error_fini(&error);
    }

    bool isOpen() const { return archive_ != nullptr; }
    zip_t* get() const { return archive_.get(); }

    std::vector<std::string> names() const {
        std::vector<std::string> result;
        for (zip_int64_t i = 0; archive_ && i < zip_get_num_entries(get(), 0); ++i) {
            result.emplace_back(zip_get_name(get(), static_cast<zip_uint64_t>(i), 0));
        }
        return result;
    }

    // The entry's uncompressed bytes; libzip verifies the CRC once the whole entry is read.
    std::string read(const std::string& name) const {
        zip_file_t* file = archive_ ? zip_fopen(get(), name.c_str(), 0) : nullptr;
        if (file == nullptr) {
            ADD_FAILURE() << "no entry " << name;
            return {};
        }
        std::string data;
        char buffer[4096];
        zip_int64_t got = 0;
        while ((got = zip_fread(file, buffer, sizeof buffer)) > 0) {
            data.append(buffer, static_cast<std::size_t>(got));
        }
        EXPECT_EQ(got, 0) << name << ": " << zip_file_strerror(file);
        zip_fclose(file);
        return data;
    }

    const XmlPart& part(const std::string& name) {
        auto& parsed = parts_[name];
        if (!parsed) {
            parsed = std::make_unique<XmlPart>(read(name), name);
        }
        return *parsed;
    }

  private:
    std::unique_ptr<zip_t, decltype(&zip_discard)> archive_;
    std::map<std::string, std::unique_ptr<XmlPart>> parts_;
};

struct Value {
    std::string part;
    std::string xpath;
    std::string expected;
};

// Checks the text of the one node each XPath selects in its part.
void expectValues(Package& package, const std::vector<Value>& values) {
    for (const Value& value : values) {
        EXPECT_EQ(package.part(value.part).one(value.xpath), value.expected)
            << value.part << ": " << value.xpath;
    }
}

struct Relationship {
    std::string id;
    std::string type;
    std::string target;
    bool operator==(const Relationship&) const = default;
};

void PrintTo(const Relationship& rel, std::ostream* out) {
    *out << "{" << rel.id << ", " << rel.type << ", " << rel.target << "}";
}

std::vector<Relationship> relationshipsOf(const XmlPart& part) {
    const std::string each = "/rel:Relationships/rel:Relationship/@";
    const auto ids = part.all(each + "Id");
    const auto types = part.all(each + "Type");
    const auto targets = part.all(each + "Target");
    std::vector<Relationship> result;
    for (std::size_t i = 0; i < ids.size() && i < types.size() && i < targets.size(); ++i) {
        result.push_back({ids[i], types[i], targets[i]});
    }
    return result;
}

Relationship rel(int number, const std::string& type, std::string target) {
    return {"rId" + std::to_string(number), kRelTypes + type, std::move(target)};
}

constexpr std::uint16_t dosDate(unsigned year, unsigned month, unsigned day) {
    return static_cast<std::uint16_t>(((year - 1980U) << 9U) | (month << 5U) | day);
}
constexpr std::uint16_t dosTime(unsigned hour, unsigned minute, unsigned second) {
    return static_cast<std::uint16_t>((hour << 11U) | (minute << 5U) | (second / 2U));
}

struct PackageCase {
    const char* label;
    std::string_view (*bytes)();
    std::vector<std::string> entries;
    std::uint16_t dosDate;
    std::uint16_t dosTime;
};

const std::vector<PackageCase>& packages() {
    static const std::vector<PackageCase> cases = {
        {"Word",
         &TemplateData::wordDocument,
         {"[Content_Types].xml", "_rels/.rels", "word/document.xml"},
         dosDate(2026, 1, 1),
         dosTime(0, 0, 0)},
        {"Excel",
         &TemplateData::excelWorkbook,
         {"[Content_Types].xml", "_rels/.rels", "xl/workbook.xml", "xl/_rels/workbook.xml.rels",
          "xl/worksheets/sheet1.xml"},
         dosDate(2026, 1, 1),
         dosTime(0, 0, 0)},
        {"PowerPoint",
         &TemplateData::powerPointPresentation,
         {"[Content_Types].xml", "_rels/.rels", "docProps/core.xml", "docProps/app.xml",
          "ppt/presentation.xml", "ppt/_rels/presentation.xml.rels", "ppt/slides/slide1.xml",
          "ppt/slides/_rels/slide1.xml.rels", "ppt/slideLayouts/slideLayout1.xml",
          "ppt/slideLayouts/_rels/slideLayout1.xml.rels", "ppt/slideMasters/slideMaster1.xml",
          "ppt/slideMasters/_rels/slideMaster1.xml.rels", "ppt/theme/theme1.xml",
          "ppt/presProps.xml", "ppt/viewProps.xml", "ppt/tableStyles.xml"},
         dosDate(2026, 5, 15),
         dosTime(10, 24, 36)},
    };
    return cases;
}

// A little-endian header field of `width` bytes.
std::uint32_t le(std::string_view bytes, std::size_t at, std::size_t width) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        value |= std::uint32_t{static_cast<unsigned char>(bytes.at(at + i))} << (8U * i);
    }
    return value;
}

TEST(TemplatePackages, OpenWithExactlyTheirEntriesInOrderAllDeflated) {
    for (const PackageCase& pkg : packages()) {
        SCOPED_TRACE(pkg.label);
        Package zip(pkg.bytes());
        ASSERT_TRUE(zip.isOpen());
        EXPECT_THAT(zip.names(), ElementsAreArray(pkg.entries));
        int commentLength = -1;
        zip_get_archive_comment(zip.get(), &commentLength, 0);
        EXPECT_EQ(commentLength, 0);
        for (std::size_t i = 0; i < pkg.entries.size(); ++i) {
            zip_stat_t stat;
            ASSERT_EQ(zip_stat_index(zip.get(), i, 0, &stat), 0);
            EXPECT_EQ(stat.comp_method, ZIP_CM_DEFLATE) << pkg.entries[i];
            EXPECT_GT(zip.read(pkg.entries[i]).size(), 0U) << pkg.entries[i];
        }
        const XmlPart& types = zip.part("[Content_Types].xml");
        EXPECT_THAT(types.all("/ct:Types/ct:Default/@Extension"), ElementsAre("rels", "xml"));
        EXPECT_THAT(types.all("/ct:Types/ct:Default/@ContentType"),
                    ElementsAre("application/vnd.openxmlformats-package.relationships+xml",
                                "application/xml"));
    }
}

// Walks the archive bytes without libzip: local headers back to back from offset 0, then the
// central directory, then an end record with no comment as the last 22 bytes.
TEST(TemplatePackages, RawHeadersCarryTheDateNoExtrasAndNoComments) {
    for (const PackageCase& pkg : packages()) {
        SCOPED_TRACE(pkg.label);
        const std::string_view zip = pkg.bytes();
        ASSERT_GE(zip.size(), 22U);
        const std::size_t end = zip.size() - 22;
        EXPECT_EQ(le(zip, end, 4), 0x06054B50U);
        EXPECT_EQ(le(zip, end + 8, 2), pkg.entries.size());
        EXPECT_EQ(le(zip, end + 10, 2), pkg.entries.size());
        EXPECT_EQ(le(zip, end + 20, 2), 0U) << "archive comment";
        const std::size_t centralOffset = le(zip, end + 16, 4);
        EXPECT_EQ(centralOffset + le(zip, end + 12, 4), end);

        std::size_t local = 0;
        std::size_t central = centralOffset;
        for (const std::string& name : pkg.entries) {
            SCOPED_TRACE(name);
            ASSERT_EQ(le(zip, local, 4), 0x04034B50U);
            EXPECT_EQ(le(zip, local + 4, 2), 20U) << "version needed";
            EXPECT_EQ(le(zip, local + 6, 2), 0U) << "flags (no data descriptor)";
            EXPECT_EQ(le(zip, local + 8, 2), 8U) << "method";
            EXPECT_EQ(le(zip, local + 10, 2), pkg.dosTime);
            EXPECT_EQ(le(zip, local + 12, 2), pkg.dosDate);
            const std::size_t nameLength = le(zip, local + 26, 2);
            EXPECT_EQ(le(zip, local + 28, 2), 0U) << "local extra field";
            EXPECT_EQ(zip.substr(local + 30, nameLength), name);

            ASSERT_EQ(le(zip, central, 4), 0x02014B50U);
            // From version needed to the name length, the central header repeats the local one.
            EXPECT_EQ(zip.substr(central + 6, 24), zip.substr(local + 4, 24));
            EXPECT_EQ(le(zip, central + 30, 2), 0U) << "central extra field";
            EXPECT_EQ(le(zip, central + 32, 2), 0U) << "entry comment";
            EXPECT_EQ(le(zip, central + 42, 4), local);
            EXPECT_EQ(zip.substr(central + 46, nameLength), name);

            local += 30 + nameLength + le(zip, local + 18, 4);
            central += 46 + nameLength;
        }
        EXPECT_EQ(local, centralOffset) << "bytes between the entries and the central directory";
        EXPECT_EQ(central, end);
    }
}

TEST(TemplatePackages, XmlPartsStartWithTheDeclarationAndEndWithoutLineFeed) {
    const std::vector<std::string> inlineParts = {"ppt/presProps.xml", "ppt/viewProps.xml",
                                                  "ppt/tableStyles.xml"};
    for (const PackageCase& pkg : packages()) {
        const Package zip(pkg.bytes());
        const bool indented = std::string_view(pkg.label) == "PowerPoint";
        for (const std::string& name : pkg.entries) {
            SCOPED_TRACE(std::string(pkg.label) + " " + name);
            const std::string text = zip.read(name);
            ASSERT_TRUE(text.starts_with(kDeclaration));
            EXPECT_FALSE(text.ends_with("\n"));
            EXPECT_EQ(text.find('\r'), std::string::npos);
            const std::string_view rest = std::string_view(text).substr(kDeclaration.size());
            if (std::find(inlineParts.begin(), inlineParts.end(), name) != inlineParts.end()) {
                EXPECT_TRUE(rest.starts_with("<")) << "root directly after the declaration";
                EXPECT_EQ(std::count(rest.begin(), rest.end(), '\n'), 0);
                continue;
            }
            ASSERT_TRUE(rest.starts_with("\n<"));
            const std::string_view root = rest.substr(1);
            if (!indented) {
                EXPECT_EQ(std::count(root.begin(), root.end(), '\n'), 0) << "root on one line";
                continue;
            }
            // One element per line, indented by two blanks per nesting level.
            std::size_t depth = 0;
            std::size_t lines = 0;
            for (std::size_t start = 0; start <= root.size(); ++lines) {
                const std::size_t stop = std::min(root.find('\n', start), root.size());
                const std::string_view line = root.substr(start, stop - start);
                start = stop + 1;
                const std::size_t indent = line.find_first_not_of(' ');
                ASSERT_NE(indent, std::string_view::npos) << "blank line";
                const std::string_view element = line.substr(indent);
                const bool closes = element.starts_with("</");
                ASSERT_FALSE(closes && depth == 0) << line;
                depth -= closes ? 1 : 0;
                EXPECT_EQ(indent, 2 * depth) << line;
                EXPECT_TRUE(element.starts_with("<") && element.ends_with(">")) << line;
                if (!closes && !element.ends_with("/>") && element.find("</") == element.npos) {
                    ++depth;
                }
            }
            EXPECT_EQ(depth, 0U);
            EXPECT_GT(lines, 2U);
        }
    }
}

TEST(WordTemplate, IsAnA4DocumentWithOneEmptyParagraph) {
    Package docx(TemplateData::wordDocument());
    const std::string section = "/w:document/w:body/w:sectPr/";
    const std::vector<Value> values = {
        {"[Content_Types].xml",
         "/ct:Types/ct:Override[@PartName='/word/document.xml']/@ContentType",
         "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"},
        {"word/document.xml", section + "w:pgSz/@w:w", "11906"},
        {"word/document.xml", section + "w:pgSz/@w:h", "16838"},
        {"word/document.xml", section + "w:pgMar/@w:top", "1440"},
        {"word/document.xml", section + "w:pgMar/@w:right", "1440"},
        {"word/document.xml", section + "w:pgMar/@w:bottom", "1440"},
        {"word/document.xml", section + "w:pgMar/@w:left", "1440"},
    };
    expectValues(docx, values);
    EXPECT_EQ(docx.part("[Content_Types].xml").count("/ct:Types/ct:Override"), 1U);
    EXPECT_THAT(relationshipsOf(docx.part("_rels/.rels")),
                ElementsAre(rel(1, "officeDocument", "word/document.xml")));
    const XmlPart& document = docx.part("word/document.xml");
    EXPECT_EQ(document.count("/w:document/w:body/*"), 2U);
    EXPECT_EQ(document.count("/w:document/w:body/*[1][self::w:p][not(node())]"), 1U);
    EXPECT_EQ(document.count("/w:document/w:body/*[2][self::w:sectPr]"), 1U);
}

TEST(ExcelTemplate, IsAWorkbookWithOneEmptySheet) {
    Package xlsx(TemplateData::excelWorkbook());
    const XmlPart& types = xlsx.part("[Content_Types].xml");
    EXPECT_THAT(types.all("/ct:Types/ct:Override/@PartName"),
                ElementsAre("/xl/workbook.xml", "/xl/worksheets/sheet1.xml"));
    EXPECT_THAT(
        types.all("/ct:Types/ct:Override/@ContentType"),
        ElementsAre("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml",
                    "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"));
    EXPECT_THAT(relationshipsOf(xlsx.part("_rels/.rels")),
                ElementsAre(rel(1, "officeDocument", "xl/workbook.xml")));
    EXPECT_THAT(relationshipsOf(xlsx.part("xl/_rels/workbook.xml.rels")),
                ElementsAre(rel(1, "worksheet", "worksheets/sheet1.xml")));
    EXPECT_EQ(xlsx.part("xl/workbook.xml").count("/s:workbook/s:sheets/s:sheet"), 1U);
    const std::vector<Value> values = {
        {"xl/workbook.xml", "/s:workbook/s:sheets/s:sheet/@name", "Sheet1"},
        {"xl/workbook.xml", "/s:workbook/s:sheets/s:sheet/@sheetId", "1"},
        {"xl/workbook.xml", "/s:workbook/s:sheets/s:sheet/@r:id", "rId1"},
    };
    expectValues(xlsx, values);
    EXPECT_EQ(xlsx.part("xl/worksheets/sheet1.xml").count("/s:worksheet/s:sheetData[not(node())]"),
              1U);
}

class PowerPointTemplate : public ::testing::Test {
  protected:
    Package pptx{TemplateData::powerPointPresentation()};
};

TEST_F(PowerPointTemplate, ContentTypesAndRelationshipsLinkThePartsInOrder) {
    const XmlPart& types = pptx.part("[Content_Types].xml");
    EXPECT_THAT(types.all("/ct:Types/ct:Override/@PartName"),
                ElementsAre("/docProps/app.xml", "/docProps/core.xml", "/ppt/presentation.xml",
                            "/ppt/presProps.xml", "/ppt/viewProps.xml", "/ppt/tableStyles.xml",
                            "/ppt/theme/theme1.xml", "/ppt/slideMasters/slideMaster1.xml",
                            "/ppt/slideLayouts/slideLayout1.xml", "/ppt/slides/slide1.xml"));
    EXPECT_THAT(
        types.all("/ct:Types/ct:Override/@ContentType"),
        ElementsAre("application/vnd.openxmlformats-officedocument.extended-properties+xml",
                    "application/vnd.openxmlformats-package.core-properties+xml",
                    kPresentationMl + "presentation.main+xml", kPresentationMl + "presProps+xml",
                    kPresentationMl + "viewProps+xml", kPresentationMl + "tableStyles+xml",
                    "application/vnd.openxmlformats-officedocument.theme+xml",
                    kPresentationMl + "slideMaster+xml", kPresentationMl + "slideLayout+xml",
                    kPresentationMl + "slide+xml"));

    const std::string coreType =
        "http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties";
    EXPECT_THAT(relationshipsOf(pptx.part("_rels/.rels")),
                ElementsAre(rel(1, "officeDocument", "ppt/presentation.xml"),
                            Relationship{"rId2", coreType, "docProps/core.xml"},
                            rel(3, "extended-properties", "docProps/app.xml")));
    EXPECT_THAT(
        relationshipsOf(pptx.part("ppt/_rels/presentation.xml.rels")),
        ElementsAre(rel(1, "slideMaster", "slideMasters/slideMaster1.xml"),
                    rel(2, "slide", "slides/slide1.xml"), rel(3, "presProps", "presProps.xml"),
                    rel(4, "viewProps", "viewProps.xml"),
                    rel(5, "tableStyles", "tableStyles.xml")));
    EXPECT_THAT(relationshipsOf(pptx.part("ppt/slides/_rels/slide1.xml.rels")),
                ElementsAre(rel(1, "slideLayout", "../slideLayouts/slideLayout1.xml")));
    EXPECT_THAT(relationshipsOf(pptx.part("ppt/slideLayouts/_rels/slideLayout1.xml.rels")),
                ElementsAre(rel(1, "slideMaster", "../slideMasters/slideMaster1.xml")));
    EXPECT_THAT(relationshipsOf(pptx.part("ppt/slideMasters/_rels/slideMaster1.xml.rels")),
                ElementsAre(rel(1, "slideLayout", "../slideLayouts/slideLayout1.xml"),
                            rel(2, "theme", "../theme/theme1.xml")));
}

TEST_F(PowerPointTemplate, DocumentPropertiesNameTheApplication) {
    const std::string core = "docProps/core.xml";
    const std::string app = "docProps/app.xml";
    const std::vector<Value> values = {
        {core, "/cp:coreProperties/dc:title", ""},
        {core, "/cp:coreProperties/dc:creator", "QuentaApp"},
        {core, "/cp:coreProperties/cp:lastModifiedBy", "QuentaApp"},
        {core, "/cp:coreProperties/dcterms:created", "2026-05-15T00:00:00Z"},
        {core, "/cp:coreProperties/dcterms:created/@xsi:type", "dcterms:W3CDTF"},
        {core, "/cp:coreProperties/dcterms:modified", "2026-05-15T00:00:00Z"},
        {core, "/cp:coreProperties/dcterms:modified/@xsi:type", "dcterms:W3CDTF"},
        {app, "/ep:Properties/ep:Application", "QuentaApp"},
        {app, "/ep:Properties/ep:PresentationFormat", "On-screen Show (4:3)"},
        {app, "/ep:Properties/ep:Slides", "1"},
        {app, "/ep:Properties/ep:Notes", "0"},
        {app, "/ep:Properties/ep:HiddenSlides", "0"},
        {app, "/ep:Properties/ep:MMClips", "0"},
        {app, "/ep:Properties/ep:ScaleCrop", "false"},
        {app, "/ep:Properties/ep:HeadingPairs/vt:vector/@size", "2"},
        {app, "/ep:Properties/ep:HeadingPairs/vt:vector/vt:variant[2]/vt:i4", "1"},
        {app, "/ep:Properties/ep:TitlesOfParts/vt:vector/@size", "1"},
        {app, "/ep:Properties/ep:TitlesOfParts/vt:vector/vt:lpstr", ""},
        {app, "/ep:Properties/ep:Company", ""},
        {app, "/ep:Properties/ep:LinksUpToDate", "false"},
        {app, "/ep:Properties/ep:SharedDoc", "false"},
        {app, "/ep:Properties/ep:HyperlinksChanged", "false"},
        {app, "/ep:Properties/ep:AppVersion", "16.0000"},
    };
    expectValues(pptx, values);
    EXPECT_THAT(pptx.part(app).all("/ep:Properties/ep:HeadingPairs/vt:vector/vt:variant/*"),
                ElementsAre("Slides", "1"));
}

TEST_F(PowerPointTemplate, PresentationIsOne4By3Slide) {
    const std::string root = "/p:presentation/";
    const std::string part = "ppt/presentation.xml";
    const std::vector<Value> values = {
        {part, root + "@saveSubsetFonts", "1"},
        {part, root + "p:sldMasterIdLst/p:sldMasterId/@id", "2147483648"},
        {part, root + "p:sldMasterIdLst/p:sldMasterId/@r:id", "rId1"},
        {part, root + "p:sldIdLst/p:sldId/@id", "256"},
        {part, root + "p:sldIdLst/p:sldId/@r:id", "rId2"},
        {part, root + "p:sldSz/@cx", "9144000"},
        {part, root + "p:sldSz/@cy", "6858000"},
        {part, root + "p:sldSz/@type", "screen4x3"},
        {part, root + "p:notesSz/@cx", "6858000"},
        {part, root + "p:notesSz/@cy", "9144000"},
        {part, root + "p:defaultTextStyle/a:defPPr/a:defRPr/@lang", "zh-CN"},
        {"ppt/tableStyles.xml", "/a:tblStyleLst[not(node())]/@def",
         "{5C22544A-7EE6-4342-B048-85BDC9FD1C3A}"},
    };
    expectValues(pptx, values);
    EXPECT_EQ(pptx.part("ppt/presProps.xml").count("/p:presentationPr[not(node())]"), 1U);
    EXPECT_EQ(pptx.part("ppt/viewProps.xml").count("/p:viewPr[not(node())]"), 1U);
}

TEST_F(PowerPointTemplate, SlideLayoutAndMasterHaveEmptyShapeTrees) {
    for (const char* name : {"ppt/slides/slide1.xml", "ppt/slideLayouts/slideLayout1.xml",
                             "ppt/slideMasters/slideMaster1.xml"}) {
        SCOPED_TRACE(name);
        const XmlPart& part = pptx.part(name);
        const std::string tree = "/*/p:cSld/p:spTree/";
        EXPECT_EQ(part.count(tree + "*"), 2U) << "group properties only, no shapes";
        EXPECT_EQ(part.one(tree + "p:nvGrpSpPr/p:cNvPr/@id"), "1");
        EXPECT_EQ(part.one(tree + "p:nvGrpSpPr/p:cNvPr/@name"), "");
        EXPECT_EQ(part.count(tree + "p:nvGrpSpPr/*[self::p:cNvGrpSpPr or self::p:nvPr]"), 2U);
        EXPECT_EQ(part.count(tree + "p:grpSpPr/a:xfrm/*[self::a:off or self::a:chOff]"), 2U);
        EXPECT_EQ(part.count(tree + "p:grpSpPr/a:xfrm/*[self::a:ext or self::a:chExt]"), 2U);
        EXPECT_THAT(part.all(tree + "p:grpSpPr/a:xfrm/*/@*"),
                    ElementsAreArray(std::vector<std::string>(8, "0")));
    }
    for (const char* name : {"ppt/slides/slide1.xml", "ppt/slideLayouts/slideLayout1.xml"}) {
        EXPECT_EQ(pptx.part(name).count("/*/p:clrMapOvr/a:masterClrMapping"), 1U) << name;
    }

    const std::string layout = "ppt/slideLayouts/slideLayout1.xml";
    const std::string master = "ppt/slideMasters/slideMaster1.xml";
    std::vector<Value> values = {
        {layout, "/p:sldLayout/@type", "blank"},
        {layout, "/p:sldLayout/@preserve", "1"},
        {layout, "/p:sldLayout/p:cSld/@name", "Blank"},
        {master, "/p:sldMaster/p:cSld/p:bg/p:bgPr/a:solidFill/a:schemeClr/@val", "bg1"},
        {master, "/p:sldMaster/p:sldLayoutIdLst/p:sldLayoutId/@id", "2147483649"},
        {master, "/p:sldMaster/p:sldLayoutIdLst/p:sldLayoutId/@r:id", "rId1"},
        {master, "/p:sldMaster/p:clrMap/@bg1", "lt1"},
        {master, "/p:sldMaster/p:clrMap/@tx1", "dk1"},
        {master, "/p:sldMaster/p:clrMap/@bg2", "lt2"},
        {master, "/p:sldMaster/p:clrMap/@tx2", "dk2"},
    };
    for (const char* same :
         {"accent1", "accent2", "accent3", "accent4", "accent5", "accent6", "hlink", "folHlink"}) {
        values.push_back({master, std::string("/p:sldMaster/p:clrMap/@") + same, same});
    }
    expectValues(pptx, values);
    const XmlPart& masterPart = pptx.part(master);
    EXPECT_EQ(masterPart.count("/p:sldMaster/p:cSld/p:bg/p:bgPr/a:effectLst[not(node())]"), 1U);
    EXPECT_EQ(masterPart.count("/p:sldMaster/p:txStyles/*[not(node())]"), 3U);
    EXPECT_EQ(masterPart.count("/p:sldMaster/p:txStyles/*[self::p:titleStyle or self::p:bodyStyle "
                               "or self::p:otherStyle]"),
              3U);
}

TEST_F(PowerPointTemplate, ThemeHoldsTheOfficeSchemes) {
    const std::string part = "ppt/theme/theme1.xml";
    const std::string colours = "/a:theme/a:themeElements/a:clrScheme/";
    const std::string fonts = "/a:theme/a:themeElements/a:fontScheme/";
    const std::string formats = "/a:theme/a:themeElements/a:fmtScheme/";
    std::vector<Value> values = {
        {part, "/a:theme/@name", "Office Theme"},
        {part, colours + "@name", "Office"},
        {part, colours + "a:dk1/a:sysClr/@val", "windowText"},
        {part, colours + "a:dk1/a:sysClr/@lastClr", "000000"},
        {part, colours + "a:lt1/a:sysClr/@val", "window"},
        {part, colours + "a:lt1/a:sysClr/@lastClr", "FFFFFF"},
        {part, fonts + "@name", "Office"},
        {part, formats + "@name", "Office"},
        {part, formats + "a:fillStyleLst/a:solidFill/a:schemeClr/@val", "phClr"},
        {part, formats + "a:lnStyleLst/a:ln/@w", "9525"},
        {part, formats + "a:lnStyleLst/a:ln/a:solidFill/a:schemeClr/@val", "phClr"},
        {part, formats + "a:bgFillStyleLst/a:solidFill/a:schemeClr/@val", "phClr"},
    };
    const std::pair<const char*, const char*> rgb[] = {
        {"dk2", "1F497D"},     {"lt2", "EEECE1"},      {"accent1", "4F81BD"}, {"accent2", "C0504D"},
        {"accent3", "9BBB59"}, {"accent4", "8064A2"},  {"accent5", "4BACC6"}, {"accent6", "F79646"},
        {"hlink", "0000FF"},   {"folHlink", "800080"},
    };
    for (const auto& [name, value] : rgb) {
        values.push_back({part, colours + "a:" + name + "/a:srgbClr/@val", value});
    }
    for (const char* font : {"a:majorFont/", "a:minorFont/"}) {
        values.push_back({part, fonts + font + "a:latin/@typeface", "Arial"});
        values.push_back({part, fonts + font + "a:ea/@typeface", ""});
        values.push_back({part, fonts + font + "a:cs/@typeface", ""});
    }
    expectValues(pptx, values);
    EXPECT_EQ(pptx.part(part).count(formats + "a:effectStyleLst/a:effectStyle/a:effectLst"), 1U);
}

TEST(PdfTemplate, IsTheOnePageA4DocumentByteForByte) {
    const std::string_view pdf = TemplateData::pdfDocument();
    EXPECT_EQ(pdf,
              "%PDF-1.4\n"
              "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
              "2 0 obj\n<< /Type /Pages /Kids [3 0 R] /Count 1 >>\nendobj\n"
              "3 0 obj\n<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R >>\n"
              "endobj\n"
              "4 0 obj\n<< /Length 0 >>\nstream\n\nendstream\nendobj\n"
              "xref\n0 5\n"
              "0000000000 65535 f \n"
              "0000000009 00000 n \n"
              "0000000058 00000 n \n"
              "0000000115 00000 n \n"
              "0000000202 00000 n \n"
              "trailer\n<< /Size 5 /Root 1 0 R >>\n"
              "startxref\n251\n%%EOF\n");
    EXPECT_EQ(pdf.size(), 414U);
}

TEST(PdfTemplate, CrossReferencesPointAtTheirObjects) {
    const std::string_view pdf = TemplateData::pdfDocument();
    const std::size_t xref = pdf.find("\nxref\n");
    const std::size_t startxref = pdf.find("startxref\n");
    ASSERT_NE(xref, std::string_view::npos);
    ASSERT_NE(startxref, std::string_view::npos);
    const std::size_t value = startxref + 10;
    EXPECT_EQ(std::stoul(std::string(pdf.substr(value, pdf.find('\n', value) - value))), xref + 1);

    // The entries follow the "xref" and "0 5" lines, 20 bytes each; entry 0 heads the free list.
    const std::size_t table = xref + std::string_view("\nxref\n0 5\n").size();
    EXPECT_EQ(pdf.substr(table, 20), "0000000000 65535 f \n");
    for (std::size_t object = 1; object <= 4; ++object) {
        const std::string_view entry = pdf.substr(table + 20 * object, 20);
        ASSERT_TRUE(entry.ends_with(" 00000 n \n")) << entry;
        const std::size_t offset = std::stoul(std::string(entry.substr(0, 10)));
        const std::string header = std::to_string(object) + " 0 obj\n";
        EXPECT_EQ(pdf.substr(offset, header.size()), header) << "object " << object;
        EXPECT_EQ(pdf[offset - 1], '\n') << "object " << object;
    }
}

}  // namespace
}  // namespace quenta::testing
