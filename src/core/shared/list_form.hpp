#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quenta {

// A text between double quotes with backslash, double quote and single quote escaped by a
// backslash; line feed, carriage return, tab and NUL as \n, \r, \t, \0; other ASCII control
// characters as \u{XX}; everything else, non-ASCII letters included, unchanged.
std::string quotedDebugText(std::string_view text);

// A list of paths as one bracketed text: "[" + the quoted paths joined by ", " + "]"; "[]" when
// empty.
std::string listForm(const std::vector<std::string>& paths);

}  // namespace quenta
