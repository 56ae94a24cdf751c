#pragma once

#include <string>
#include <string_view>

namespace quenta {

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
bool isValidUtf8(std::string_view bytes);

// The bytes with every byte that is not part of a well-formed UTF-8 sequence written as "\\x" and
// two lower-case hexadecimal digits; well-formed sequences are kept unchanged.
std::string escapingInvalidUtf8(std::string_view bytes);

}  // namespace quenta
