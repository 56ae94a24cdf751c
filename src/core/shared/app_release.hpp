#pragma once

#include "ports/error.hpp"

#include <ostream>
#include <string>
#include <string_view>

namespace quenta {

// A release the user may be offered: its version and the page where it is downloaded.
struct AppRelease {
    std::string version;
    std::string pageURL;

    friend bool operator==(const AppRelease&, const AppRelease&) = default;
};

std::ostream& operator<<(std::ostream& out, const AppRelease& release);

// Reads the release manifest: a UTF-8 JSON object whose member "version" is a string; every other
// member is ignored. Returns that string unchanged (not trimmed, possibly empty), or an Error of
// kind `decoding` when the body is not JSON, not an object, or has no string "version".
Result<std::string> decodeReleaseManifest(std::string_view body);

}  // namespace quenta
