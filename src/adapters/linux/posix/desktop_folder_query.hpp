#pragma once

#include "ports/front_window_query.hpp"

namespace quenta::linux_platform {

// The front-window question answered without a scriptable file manager: the desktop folder, as the
// user's XDG_DESKTOP_DIR (from ~/.config/user-dirs.dirs) or ~/Desktop; no folder, with a
// description, when it does not exist.
class DesktopFolderQuery : public FrontWindowQuery {
  public:
    Result<std::string> run(std::string_view scriptSource) override;
};

}  // namespace quenta::linux_platform
