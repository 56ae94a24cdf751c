// The manifest is read with nlohmann-json: a header-only, standard-C++ parser with no platform
// dependency, so the logic stays portable.
#include "core/shared/app_release.hpp"

#include <nlohmann/json.hpp>

namespace quenta {

std::ostream& operator<<(std::ostream& out, const AppRelease& release) {
    return out << "AppRelease{version: \"" << release.version << "\", pageURL: \""
               << release.pageURL << "\"}";
}

namespace {

// Whether the UTF-8 text holds a C0 or C1 control, DEL, or a bidirectional embedding, override or
// isolate (U+202A to U+202E, U+2066 to U+2069), any of which can make a text show as another.
bool holdsControlCharacter(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const auto next = [&](std::size_t k) {
            return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
        };
        if (byte < 0x20 || byte == 0x7F || (byte == 0xC2 && next(1) >= 0x80 && next(1) <= 0x9F) ||
            (byte == 0xE2 && next(1) == 0x80 && next(2) >= 0xAA && next(2) <= 0xAE) ||
            (byte == 0xE2 && next(1) == 0x81 && next(2) >= 0xA6 && next(2) <= 0xA9)) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool isShowableVersion(std::string_view version) {
    return version.size() <= kMaxVersionSize && !holdsControlCharacter(version);
}

Result<std::string> decodeReleaseManifest(std::string_view body) {
    using nlohmann::json;
    // Only the top level's members are kept; anything nested deeper is dropped while parsing, so a
    // hostile body of deeply nested lists costs neither memory nor stack.
    const json::parser_callback_t keepTopLevel = [](int depth, json::parse_event_t /*event*/,
                                                    json& /*parsed*/) { return depth <= 1; };
    const json document = json::parse(body, keepTopLevel, /*allow_exceptions=*/false);
    if (document.is_discarded()) {
        return Error{ErrorKind::decoding, "The release manifest is not valid JSON."};
    }
    if (!document.is_object()) {
        return Error{ErrorKind::decoding, "The release manifest is not a JSON object."};
    }
    const auto version = document.find("version");
    if (version == document.end()) {
        return Error{ErrorKind::decoding, "The release manifest has no \"version\"."};
    }
    if (!version->is_string()) {
        return Error{ErrorKind::decoding, "The release manifest's \"version\" is not a string."};
    }
    // The version becomes a menu item's title and a log line: a short text of characters that show.
    auto text = version->get<std::string>();
    if (text.size() > kMaxVersionSize) {
        return Error{ErrorKind::decoding, "The release manifest's \"version\" is longer than " +
                                              std::to_string(kMaxVersionSize) + " bytes."};
    }
    if (holdsControlCharacter(text)) {
        return Error{ErrorKind::decoding,
                     "The release manifest's \"version\" holds a control character."};
    }
    return text;
}

}  // namespace quenta
