#pragma once

#include <string_view>

namespace quenta {

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
bool isValidUtf8(std::string_view bytes);

}  // namespace quenta
