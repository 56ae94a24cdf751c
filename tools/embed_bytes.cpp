// embed_bytes: writes a C++ source file that compiles files into the program's read-only data.
//
// Each FUNCTION=FILE pair becomes a constexpr byte array holding the file's bytes and the
// definition of the static member function CLASS::FUNCTION(), returning them as a
// std::string_view. The class itself is declared in the header given with --header.

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kUsage =
    "usage: embed_bytes --header HEADER --namespace NAMESPACE --class CLASS\n"
    "                   --output OUTPUT FUNCTION=FILE...\n"
    "\n"
    "Writes the C++ source OUTPUT, which includes \"HEADER\" and defines, inside\n"
    "namespace NAMESPACE, `std::string_view CLASS::FUNCTION()` for every pair,\n"
    "returning the bytes of FILE as read when OUTPUT was generated.\n";

class ToolError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct Embedded {
    std::string function;
    fs::path file;
};

struct Options {
    std::string header;
    std::string nameSpace;
    std::string className;
    fs::path output;
    std::vector<Embedded> items;
};

bool isIdentifier(std::string_view text) {
    if (text.empty() || (text.front() >= '0' && text.front() <= '9')) {
        return false;
    }
    for (const char c : text) {
        const bool ok =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        if (!ok) {
            return false;
        }
    }
    return true;
}

// A namespace may be nested ("a::b"); every part must be an identifier.
bool isNamespace(std::string_view text) {
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find("::", start);
        if (!isIdentifier(text.substr(start, end - start))) {
            return false;
        }
        if (end == std::string_view::npos) {
            return true;
        }
        start = end + 2;
    }
}

Options parseOptions(const std::vector<std::string_view>& args) {
    Options options;
    std::set<std::string> functions;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= args.size()) {
                throw ToolError("missing value after " + std::string(arg));
            }
            return std::string(args[++i]);
        };
        if (arg == "--header") {
            options.header = value();
        } else if (arg == "--namespace") {
            options.nameSpace = value();
        } else if (arg == "--class") {
            options.className = value();
        } else if (arg == "--output") {
            options.output = value();
        } else if (arg.starts_with('-')) {
            throw ToolError("unknown option " + std::string(arg));
        } else {
            const std::size_t equals = arg.find('=');
            if (equals == std::string_view::npos || equals + 1 == arg.size()) {
                throw ToolError("expected FUNCTION=FILE, got \"" + std::string(arg) + "\"");
            }
            std::string function(arg.substr(0, equals));
            if (!isIdentifier(function)) {
                throw ToolError("\"" + function + "\" is not a C++ identifier");
            }
            if (!functions.insert(function).second) {
                throw ToolError("function \"" + function + "\" given twice");
            }
            options.items.push_back({std::move(function), fs::path(arg.substr(equals + 1))});
        }
    }
    if (options.header.empty() || options.header.find_first_of("\"\n") != std::string::npos) {
        throw ToolError("--header needs a header path (without quotes or line breaks)");
    }
    if (!isNamespace(options.nameSpace)) {
        throw ToolError("--namespace needs a C++ namespace name");
    }
    if (!isIdentifier(options.className)) {
        throw ToolError("--class needs a C++ class name");
    }
    if (options.output.empty()) {
        throw ToolError("--output needs a file path");
    }
    if (options.items.empty()) {
        throw ToolError("nothing to embed: give at least one FUNCTION=FILE");
    }
    return options;
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

// "wordDocument" -> "kWordDocumentBytes", the constant naming style of the project.
std::string arrayName(const std::string& function) {
    std::string name = "k" + function + "Bytes";
    if (name[1] >= 'a' && name[1] <= 'z') {
        name[1] = static_cast<char>(name[1] - 'a' + 'A');
    }
    return name;
}

void writeArray(std::ostream& out, const std::string& name, const std::string& data) {
    constexpr std::size_t kPerLine = 12;
    constexpr char kHex[] = "0123456789abcdef";
    out << "constexpr unsigned char " << name << "[] = {";
    for (std::size_t i = 0; i < data.size(); ++i) {
        out << (i % kPerLine == 0 ? "\n    " : " ");
        const auto byte = static_cast<unsigned char>(data[i]);
        out << "0x" << kHex[byte >> 4U] << kHex[byte & 0x0FU] << ',';
    }
    out << "\n};\n";
}

std::string generate(const Options& options) {
    std::ostringstream out;
    out << "// Generated by embed_bytes when the project is built; do not edit. The bytes come "
           "from:\n";
    std::vector<std::string> contents;
    contents.reserve(options.items.size());
    for (const Embedded& item : options.items) {
        contents.push_back(readFile(item.file));
        out << "//   " << options.className << "::" << item.function
            << "(): " << item.file.filename().string() << " (" << contents.back().size()
            << " bytes)\n";
    }
    out << "\n#include \"" << options.header
        << "\"\n\n#include <cstddef>\n#include <string_view>\n\n";
    out << "namespace " << options.nameSpace << " {\nnamespace {\n\n";
    bool anyBytes = false;
    for (std::size_t i = 0; i < options.items.size(); ++i) {
        if (!contents[i].empty()) {
            writeArray(out, arrayName(options.items[i].function), contents[i]);
            out << '\n';
            anyBytes = true;
        }
    }
    if (anyBytes) {
        out << "std::string_view viewOf(const unsigned char* bytes, std::size_t size) {\n"
               "    return {reinterpret_cast<const char*>(bytes), size};\n"
               "}\n\n";
    }
    out << "}  // namespace\n\n";
    for (std::size_t i = 0; i < options.items.size(); ++i) {
        const std::string& function = options.items[i].function;
        out << "std::string_view " << options.className << "::" << function << "() {\n";
        if (contents[i].empty()) {
            out << "    return {};\n";
        } else {
            const std::string array = arrayName(function);
            out << "    return viewOf(" << array << ", sizeof " << array << ");\n";
        }
        out << "}\n\n";
    }
    out << "}  // namespace " << options.nameSpace << '\n';
    return out.str();
}

// Writes next to the target and renames, so a failed run never leaves a partial file behind.
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
    try {
        const Options options = parseOptions(args);
        writeFileAtomically(options.output, generate(options));
    } catch (const std::exception& error) {
        std::cerr << "embed_bytes: " << error.what() << "\n(run embed_bytes --help for usage)\n";
        return 1;
    }
    return 0;
}
