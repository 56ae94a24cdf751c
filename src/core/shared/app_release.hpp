#pragma once

#include "ports/error.hpp"

#include <cstddef>
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

// The longest version a release manifest may name, in bytes.
inline constexpr std::size_t kMaxVersionSize = 64;

// Whether a version is short enough and free of control and bidirectional formatting characters,
// as decodeReleaseManifest requires (for versions stored earlier).
bool isShowableVersion(std::string_view version);

// Reads the release manifest: a UTF-8 JSON object whose member "version" is a string; every other
// member is ignored. Returns that string unchanged (not trimmed, possibly empty), or an Error of
// kind `decoding` when the body is not JSON, not an object, or has no string "version", or the
// version is longer than kMaxVersionSize bytes or holds a control or bidirectional formatting
// character.
Result<std::string> decodeReleaseManifest(std::string_view body);

}  // namespace quenta
