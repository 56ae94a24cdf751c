#include "core/shared/request_url.hpp"

#include <cstring>

namespace quenta {
namespace {

bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// A URL may not hold these bytes unencoded.
bool isForbiddenInUrl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte == 0x7F || std::strchr("<>\"\\^`{|}", c) != nullptr;
}

// Decodes "%XX" escapes; the caller has checked that every escape is well formed.
std::string percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

bool hasOnlyValidEscapes(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%') {
            if (i + 2 >= text.size() || hexValue(text[i + 1]) < 0 || hexValue(text[i + 2]) < 0) {
                return false;
            }
            i += 2;
        }
    }
    return true;
}

std::vector<QueryItem> parseQuery(std::string_view query) {
    std::vector<QueryItem> items;
    if (query.empty()) {
        return items;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t end = query.find('&', start);
        const std::string_view piece = query.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        const std::size_t equals = piece.find('=');
        if (equals == std::string_view::npos) {
            items.push_back({percentDecode(piece), std::nullopt});
        } else {
            items.push_back(
                {percentDecode(piece.substr(0, equals)), percentDecode(piece.substr(equals + 1))});
        }
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }
    return items;
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const QueryItem& item) {
    out << item.name;
    if (item.value) {
        out << "=" << *item.value;
    }
    return out;
}

std::optional<std::string> urlScheme(std::string_view url) {
    const std::size_t colon = url.find(':');
    if (colon == std::string_view::npos || colon == 0 || !isAsciiLetter(url[0])) {
        return std::nullopt;
    }
    for (std::size_t i = 1; i < colon; ++i) {
        const char c = url[i];
        if (!isAsciiLetter(c) && !isAsciiDigit(c) && c != '+' && c != '-' && c != '.') {
            return std::nullopt;
        }
    }
    return std::string(url.substr(0, colon));
}

std::optional<UrlComponents> parseUrl(std::string_view url) {
    auto scheme = urlScheme(url);
    if (!scheme) {
        return std::nullopt;
    }
    for (const char c : url) {
        if (isForbiddenInUrl(c)) {
            return std::nullopt;
        }
    }
    if (!hasOnlyValidEscapes(url)) {
        return std::nullopt;
    }

    UrlComponents components;
    components.scheme = std::move(*scheme);
    std::string_view rest = url.substr(components.scheme.size() + 1);

    const std::size_t fragment = rest.find('#');
    if (fragment != std::string_view::npos) {
        rest = rest.substr(0, fragment);
    }
    if (rest.substr(0, 2) == "//") {
        rest.remove_prefix(2);
        const std::size_t authorityEnd = rest.find_first_of("/?");
        std::string_view authority = rest.substr(0, authorityEnd);
        rest =
            authorityEnd == std::string_view::npos ? std::string_view() : rest.substr(authorityEnd);
        const std::size_t at = authority.rfind('@');
        if (at != std::string_view::npos) {
            authority.remove_prefix(at + 1);
        }
        const std::size_t portColon = authority.find(':');
        if (portColon != std::string_view::npos) {
            for (const char c : authority.substr(portColon + 1)) {
                if (!isAsciiDigit(c)) {
                    return std::nullopt;
                }
            }
            authority = authority.substr(0, portColon);
        }
        if (!authority.empty()) {
            components.host = percentDecode(authority);
        }
    }
    const std::size_t question = rest.find('?');
    if (question != std::string_view::npos) {
        components.queryItems = parseQuery(rest.substr(question + 1));
    }
    return components;
}

std::string percentEncodeQueryComponent(std::string_view text, bool isName) {
    static constexpr char hexDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const bool keep = isAsciiLetter(c) || isAsciiDigit(c) ||
                          (c != '\0' && std::strchr("-._~!$'()*+,;:@/?", c) != nullptr) ||
                          (c == '=' && !isName);
        if (keep) {
            out.push_back(c);
        } else {
            const auto byte = static_cast<unsigned char>(c);
            out.push_back('%');
            out.push_back(hexDigits[byte >> 4]);
            out.push_back(hexDigits[byte & 0x0F]);
        }
    }
    return out;
}

std::optional<std::string> formatRequestUrl(std::string_view command,
                                            const std::vector<QueryItem>& items) {
    if (command.empty()) {
        return std::nullopt;
    }
    for (const char c : command) {
        if (!isAsciiLetter(c) && !isAsciiDigit(c) && c != '-' && c != '.') {
            return std::nullopt;
        }
    }
    std::string url(kRequestScheme);
    url += "://";
    url += command;
    if (!items.empty()) {
        url += "?";
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (i > 0) {
                url += "&";
            }
            url += percentEncodeQueryComponent(items[i].name, true);
            if (items[i].value) {
                url += "=";
                url += percentEncodeQueryComponent(*items[i].value, false);
            }
        }
    }
    return url;
}

}  // namespace quenta
