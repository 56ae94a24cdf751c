#pragma once

#include "ports/error.hpp"

#include <string_view>

namespace quenta::linux_platform {

// The kind an errno value stands for.
ErrorKind errorKindForErrno(int errnoValue);

// An Error for an errno value with the C library's description in the user's locale.
Error errorFromErrno(int errnoValue);

// The same, with the item the failure concerns prefixed ("name: description") when given.
Error errorFromErrno(int errnoValue, std::string_view context);

}  // namespace quenta::linux_platform
