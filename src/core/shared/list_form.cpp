#include "core/shared/list_form.hpp"

namespace quenta {

std::string quotedDebugText(std::string_view text) {
    static constexpr char hexDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('"');
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\'':
                out += "\\'";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\0':
                out += "\\0";
                break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    out += "\\u{";
                    out.push_back(hexDigits[byte >> 4]);
                    out.push_back(hexDigits[byte & 0x0F]);
                    out.push_back('}');
                } else {
                    out.push_back(c);
                }
        }
    }
    out.push_back('"');
    return out;
}

std::string listForm(const std::vector<std::string>& paths) {
    std::string out = "[";
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (i > 0) {
            out += ", ";
        }
        out += quotedDebugText(paths[i]);
    }
    out += "]";
    return out;
}

}  // namespace quenta
