#pragma once

#include <string>
#include <string_view>

namespace quenta {

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
bool isValidUtf8(std::string_view bytes);

// The text as it may be written into a log line, a terminal or a line of output: every byte that
// is not part of a well-formed UTF-8 sequence, and every C0 control (line feed and tab included)
// and DEL, written as "\\x" and two lower-case hexadecimal digits; the C1 controls (U+0080 to
// U+009F) and the bidirectional controls (U+202A to U+202E, U+2066 to U+2069) written as "\\u"
// and four lower-case hexadecimal digits. Everything else is kept unchanged, so a name or URL
// can neither begin a line of its own, nor drive a terminal, nor reorder what follows it.
// With `keepLineFeeds` a line feed is kept: for texts whose own lines are wanted, whose parts
// from outside were escaped without it.
std::string escapingForOutput(std::string_view bytes, bool keepLineFeeds = false);

}  // namespace quenta
