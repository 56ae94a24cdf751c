#pragma once

#include "ports/localizer.hpp"

#include <string_view>

namespace quenta::names {

// The title and the one button of every alert, from the request handling and from the installer
// window alike; keys of the user's language.
inline constexpr std::string_view kAlertTitle = textKey("访达右键Lumvik");
inline constexpr std::string_view kAlertButton = textKey("好");

// The pasteboard type under which the extension's cut puts the cut items' paths, one a line, and
// from which the application's paste takes them.
inline constexpr std::string_view kCutPathsPasteboardType = "com.local.QuentaApp.cutPaths";

}  // namespace quenta::names
