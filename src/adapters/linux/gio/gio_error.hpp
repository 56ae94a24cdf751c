#pragma once

#include "ports/error.hpp"

#include <glib.h>

namespace quenta::linux_platform {

// An Error carrying GIO's own message for `error`, which it frees and clears: the failures GIO
// reports keep the platform's words, as the errno ones do. A null `error` (GIO gave none) becomes
// an Error of kind `other` with the `fallback` description.
Error takeGError(GError*& error, const char* fallback);

}  // namespace quenta::linux_platform
