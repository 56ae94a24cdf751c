// make_package: writes a ZIP archive (an Office Open XML package) from a manifest.
//
// The manifest lists the archive entries in order and the one date every entry carries. Each
// entry's bytes come from the file of the same relative path next to the manifest. The archive is
// as plain as the format allows, so that the output depends only on the inputs and the zlib
// version: every entry raw-Deflated at level 6, sizes and CRC in the local header (no data
// descriptor), no extra fields, no directory entries, no comments.

#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kUsage =
    "usage: make_package MANIFEST OUTPUT\n"
    "\n"
    "Writes the ZIP archive OUTPUT from MANIFEST, a text file of lines:\n"
    "  date YYYY-MM-DD HH:MM:SS   the date and time of every entry (exactly once;\n"
    "                             seconds must be even, years 1980-2107)\n"
    "  entry PATH                 one archive entry, in archive order; its bytes are\n"
    "                             read from PATH relative to the manifest's folder\n"
    "Blank lines and lines starting with '#' are ignored.\n"
    "\n"
    "Every entry is raw-Deflated (zlib level 6); the archive has no directory\n"
    "entries, no extra fields and no comment.\n";

// Raised for any problem with the inputs; main() prints it and exits with status 1.
class ToolError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct DosDateTime {
    std::uint16_t time = 0;
    std::uint16_t date = 0;
};

struct Manifest {
    DosDateTime when;
    std::vector<std::string> entries;
};

// Parses exactly `width` decimal digits at `pos` of `text`.
std::optional<unsigned> parseDigits(std::string_view text, std::size_t pos, std::size_t width) {
    if (pos + width > text.size()) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (std::size_t i = pos; i < pos + width; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10U + static_cast<unsigned>(c - '0');
    }
    return value;
}

bool isLeapYear(unsigned year) {
    return (year % 4U == 0 && year % 100U != 0) || year % 400U == 0;
}

unsigned daysInMonth(unsigned year, unsigned month) {
    constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29U : kDays[month - 1];
}

// "YYYY-MM-DD HH:MM:SS" to the MS-DOS date and time fields of a ZIP header. The format stores
// seconds in units of two, so an odd second is refused rather than silently rounded.
DosDateTime parseDosDateTime(std::string_view text) {
    const auto fail = [&]() -> ToolError {
        return ToolError("bad date \"" + std::string(text) + "\": expected YYYY-MM-DD HH:MM:SS");
    };
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' ||
        text[13] != ':' || text[16] != ':') {
        throw fail();
    }
    const auto year = parseDigits(text, 0, 4);
    const auto month = parseDigits(text, 5, 2);
    const auto day = parseDigits(text, 8, 2);
    const auto hour = parseDigits(text, 11, 2);
    const auto minute = parseDigits(text, 14, 2);
    const auto second = parseDigits(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second) {
        throw fail();
    }
    if (*year < 1980 || *year > 2107) {
        throw ToolError("bad date \"" + std::string(text) + "\": ZIP dates cover 1980 to 2107");
    }
    if (*month < 1 || *month > 12 || *day < 1 || *day > daysInMonth(*year, *month) || *hour > 23 ||
        *minute > 59 || *second > 59) {
        throw fail();
    }
    if (*second % 2 != 0) {
        throw ToolError("bad date \"" + std::string(text) +
                        "\": ZIP times have two-second resolution, use an even second");
    }
    DosDateTime result;
    result.date = static_cast<std::uint16_t>(((*year - 1980U) << 9U) | (*month << 5U) | *day);
    result.time = static_cast<std::uint16_t>((*hour << 11U) | (*minute << 5U) | (*second / 2U));
    return result;
}

// An entry name must be a plain relative path inside the package folder: no absolute paths, no
// "." or ".." segments, no empty segments, no backslashes, and not a folder.
void checkEntryName(const std::string& name) {
    const auto fail = [&](std::string_view why) {
        return ToolError("bad entry \"" + name + "\": " + std::string(why));
    };
    if (name.empty()) {
        throw fail("empty name");
    }
    if (name.find('\\') != std::string::npos) {
        throw fail("use '/' as the path separator");
    }
    if (name.front() == '/' || name.back() == '/') {
        throw fail("must be a relative file path");
    }
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('/', start);
        if (end == std::string::npos) {
            end = name.size();
        }
        const std::string_view segment = std::string_view(name).substr(start, end - start);
        if (segment.empty() || segment == "." || segment == "..") {
            throw fail("empty, '.' or '..' path segment");
        }
        start = end + 1;
    }
    if (name.size() > std::numeric_limits<std::uint16_t>::max()) {
        throw fail("name too long");
    }
}

Manifest readManifest(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw ToolError("cannot open manifest " + path.string());
    }
    Manifest manifest;
    bool haveDate = false;
    std::set<std::string> seen;
    std::string line;
    unsigned lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        const std::string where = path.string() + ":" + std::to_string(lineNumber) + ": ";
        if (!line.empty() && line.back() == '\r') {
            throw ToolError(where + "carriage return in manifest; use line feeds only");
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        try {
            if (line.rfind("date ", 0) == 0) {
                if (haveDate) {
                    throw ToolError("second date line");
                }
                manifest.when = parseDosDateTime(std::string_view(line).substr(5));
                haveDate = true;
            } else if (line.rfind("entry ", 0) == 0) {
                std::string name = line.substr(6);
                checkEntryName(name);
                if (!seen.insert(name).second) {
                    throw ToolError("entry \"" + name + "\" listed twice");
                }
                manifest.entries.push_back(std::move(name));
            } else {
                throw ToolError("unknown line \"" + line + "\" (expected 'date' or 'entry')");
            }
        } catch (const ToolError& error) {
            throw ToolError(where + error.what());
        }
    }
    if (!haveDate) {
        throw ToolError(path.string() + ": no 'date' line");
    }
    if (manifest.entries.empty()) {
        throw ToolError(path.string() + ": no 'entry' lines");
    }
    if (manifest.entries.size() >= std::numeric_limits<std::uint16_t>::max()) {
        throw ToolError(path.string() + ": too many entries for a ZIP archive without ZIP64");
    }
    return manifest;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        throw ToolError("cannot open " + path.string());
    }
    const std::streamoff size = in.tellg();
    if (size < 0) {
        throw ToolError("cannot read " + path.string());
    }
    std::string data(static_cast<std::size_t>(size), '\0');
    in.seekg(0);
    in.read(data.data(), size);
    if (!in || in.gcount() != size) {
        throw ToolError("cannot read " + path.string());
    }
    return data;
}

// Raw Deflate (no zlib or gzip wrapper), as the ZIP format stores it.
std::string deflateRaw(const std::string& input) {
    z_stream stream{};
    if (deflateInit2(&stream, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw ToolError("zlib: deflateInit2 failed");
    }
    std::string output(deflateBound(&stream, static_cast<uLong>(input.size())), '\0');
    // zlib's interface takes a non-const input pointer but does not write through it.
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
    stream.avail_in = static_cast<uInt>(input.size());
    stream.next_out = reinterpret_cast<Bytef*>(output.data());
    stream.avail_out = static_cast<uInt>(output.size());
    const int status = deflate(&stream, Z_FINISH);
    const auto produced = static_cast<std::size_t>(stream.total_out);
    deflateEnd(&stream);
    if (status != Z_STREAM_END) {
        throw ToolError("zlib: deflate did not finish");
    }
    output.resize(produced);
    return output;
}

std::uint32_t crcOf(const std::string& data) {
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(data.data()),
                            static_cast<uInt>(data.size()));
    return static_cast<std::uint32_t>(crc);
}

// Little-endian writers for the ZIP header fields.
void put16(std::string& out, std::uint16_t value) {
    out.push_back(static_cast<char>(value & 0xFFU));
    out.push_back(static_cast<char>((value >> 8U) & 0xFFU));
}

void put32(std::string& out, std::uint32_t value) {
    for (unsigned shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<char>((value >> shift) & 0xFFU));
    }
}

std::uint32_t fit32(std::size_t value, std::string_view what) {
    if (value > std::numeric_limits<std::uint32_t>::max()) {
        throw ToolError(std::string(what) + " too large for a ZIP archive without ZIP64");
    }
    return static_cast<std::uint32_t>(value);
}

constexpr std::uint16_t kVersion20 = 20;  // 2.0: the version that introduced Deflate
constexpr std::uint16_t kMethodDeflate = 8;

std::string buildArchive(const Manifest& manifest, const fs::path& baseDir) {
    std::string archive;
    std::string central;
    for (const std::string& name : manifest.entries) {
        const std::string data = readFile(baseDir / fs::path(name));
        if (data.size() > std::numeric_limits<uInt>::max()) {
            throw ToolError("entry \"" + name + "\" is too large");
        }
        const std::string packed = deflateRaw(data);
        const std::uint32_t crc = crcOf(data);
        const std::uint32_t packedSize = fit32(packed.size(), "entry \"" + name + "\"");
        const std::uint32_t size = fit32(data.size(), "entry \"" + name + "\"");
        const std::uint32_t offset = fit32(archive.size(), "archive");
        const auto nameLength = static_cast<std::uint16_t>(name.size());

        put32(archive, 0x04034B50U);  // local file header
        put16(archive, kVersion20);   // version needed to extract
        put16(archive, 0);            // flags: sizes known up front, names not UTF-8 flagged
        put16(archive, kMethodDeflate);
        put16(archive, manifest.when.time);
        put16(archive, manifest.when.date);
        put32(archive, crc);
        put32(archive, packedSize);
        put32(archive, size);
        put16(archive, nameLength);
        put16(archive, 0);  // extra field length
        archive += name;
        archive += packed;

        put32(central, 0x02014B50U);  // central directory header
        put16(central, kVersion20);   // made by: MS-DOS host, version 2.0 (no Unix attributes)
        put16(central, kVersion20);
        put16(central, 0);
        put16(central, kMethodDeflate);
        put16(central, manifest.when.time);
        put16(central, manifest.when.date);
        put32(central, crc);
        put32(central, packedSize);
        put32(central, size);
        put16(central, nameLength);
        put16(central, 0);  // extra field length
        put16(central, 0);  // comment length
        put16(central, 0);  // disk number start
        put16(central, 0);  // internal attributes
        put32(central, 0);  // external attributes
        put32(central, offset);
        central += name;
    }
    const std::uint32_t centralOffset = fit32(archive.size(), "archive");
    const std::uint32_t centralSize = fit32(central.size(), "central directory");
    archive += central;
    const auto count = static_cast<std::uint16_t>(manifest.entries.size());
    put32(archive, 0x06054B50U);  // end of central directory record
    put16(archive, 0);            // this disk
    put16(archive, 0);            // disk with the central directory
    put16(archive, count);
    put16(archive, count);
    put32(archive, centralSize);
    put32(archive, centralOffset);
    put16(archive, 0);  // comment length
    return archive;
}

// Writes next to the target and renames, so a failed run never leaves a partial archive that a
// build system would take for an up-to-date output.
void writeFileAtomically(const fs::path& path, const std::string& data) {
    fs::path temporary = path;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            throw ToolError("cannot create " + temporary.string());
        }
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            throw ToolError("cannot write " + temporary.string());
        }
    }
    std::error_code error;
    fs::rename(temporary, path, error);
    if (error) {
        fs::remove(temporary, error);
        throw ToolError("cannot replace " + path.string());
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    for (const std::string_view arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
    }
    if (args.size() != 2 || args[0].starts_with('-') || args[1].starts_with('-')) {
        std::cerr << "make_package: expected MANIFEST and OUTPUT\n" << kUsage;
        return 2;
    }
    try {
        const fs::path manifestPath(args[0]);
        const Manifest manifest = readManifest(manifestPath);
        writeFileAtomically(fs::path(args[1]), buildArchive(manifest, manifestPath.parent_path()));
    } catch (const std::exception& error) {
        std::cerr << "make_package: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
