#pragma once

#include <string>
#include <string_view>

namespace quenta {

// Plain absolute POSIX paths as they cross between the deliverables: no scheme, no
// percent-encoding, no trailing "/" except for "/" itself.

// The path without trailing slashes ("/" stays "/").
std::string trimmingTrailingSlashes(std::string_view path);

// The path of `name` inside `folder` ("/" + name for the root folder).
std::string appendingPathComponent(const std::string& folder, std::string_view name);

// The folder that holds the item ("/" for "/" and for items directly in it).
std::string parentPath(const std::string& path);

// The item's own name ("/" for "/" itself).
std::string lastPathComponent(const std::string& path);

// True when `path` is `folder` or lies inside it (both absolute and standardized alike).
bool isSameOrInsidePath(const std::string& path, const std::string& folder);

}  // namespace quenta
