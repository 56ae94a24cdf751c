// The manifest is read with nlohmann-json: a header-only, standard-C++ parser with no platform
// dependency, so the logic stays portable.
#include "core/shared/app_release.hpp"

#include <nlohmann/json.hpp>

namespace quenta {

std::ostream& operator<<(std::ostream& out, const AppRelease& release) {
    return out << "AppRelease{version: \"" << release.version << "\", pageURL: \""
               << release.pageURL << "\"}";
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
    return version->get<std::string>();
}

}  // namespace quenta
