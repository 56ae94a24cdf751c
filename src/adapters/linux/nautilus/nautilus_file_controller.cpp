#include "adapters/linux/nautilus/nautilus_file_controller.hpp"

#include <nautilus-extension.h>

namespace quenta::linux_platform {

NautilusSituation NautilusFileController::situationForFolder(NautilusFileInfo* folder) {
    return MenuSituationController::situationForFolder(folder, nautilus_file_info_get_location);
}

NautilusSituation NautilusFileController::situationForSelection(GList* files) {
    return MenuSituationController::situationForSelection(files, nautilus_file_info_get_location);
}

}  // namespace quenta::linux_platform
