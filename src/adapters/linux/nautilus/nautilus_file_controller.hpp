#pragma once

#include "adapters/linux/gio/menu_situation_controller.hpp"

// Nautilus's type, declared as its header declares it, so that including this header does not
// pull in the extension header (whose entry points a module declares first).
typedef struct _NautilusFileInfo NautilusFileInfo;

namespace quenta::linux_platform {

using NautilusSituation = MenuSituation;

// The controller answered from what Nautilus hands its menu provider.
class NautilusFileController : public MenuSituationController {
  public:
    // The background of a folder: the folder is the target, there is no selection list.
    [[nodiscard]] static NautilusSituation situationForFolder(NautilusFileInfo* folder);
    // A selection (a GList of NautilusFileInfo): the selected items in Nautilus's order, and the
    // folder that holds the first of them as the target.
    [[nodiscard]] static NautilusSituation situationForSelection(GList* files);
};

}  // namespace quenta::linux_platform
