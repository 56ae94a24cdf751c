#include "adapters/linux/nautilus/nautilus_file_controller.hpp"

#include "core/shared/file_paths.hpp"

#include <nautilus-extension.h>

#include <utility>

namespace quenta::linux_platform {
namespace {

// The item's local path, or none for a location without one.
std::optional<std::string> localPath(NautilusFileInfo* file) {
    if (file == nullptr) {
        return std::nullopt;
    }
    GFile* location = nautilus_file_info_get_location(file);
    if (location == nullptr) {
        return std::nullopt;
    }
    char* path = g_file_get_path(location);
    g_object_unref(location);
    if (path == nullptr) {
        return std::nullopt;
    }
    std::string result = trimmingTrailingSlashes(path);
    g_free(path);
    return result;
}

}  // namespace

NautilusSituation NautilusFileController::situationForFolder(NautilusFileInfo* folder) {
    return {localPath(folder), std::nullopt};
}

NautilusSituation NautilusFileController::situationForSelection(GList* files) {
    NautilusSituation situation{std::nullopt, std::vector<std::string>{}};
    for (GList* node = files; node != nullptr; node = node->next) {
        if (auto path = localPath(static_cast<NautilusFileInfo*>(node->data))) {
            situation.selected->push_back(std::move(*path));
        }
    }
    if (!situation.selected->empty()) {
        situation.targeted = parentPath(situation.selected->front());
    }
    return situation;
}

void NautilusFileController::answer(std::shared_ptr<const NautilusSituation> situation) {
    situation_ = std::move(situation);
}

std::optional<std::string> NautilusFileController::targetedURL() const {
    return situation_ ? situation_->targeted : std::nullopt;
}

std::optional<std::vector<std::string>> NautilusFileController::selectedItemURLs() const {
    return situation_ ? situation_->selected : std::nullopt;
}

void NautilusFileController::setDirectoryURLs(const std::vector<std::string>& folders) {
    observed_ = folders;
}

}  // namespace quenta::linux_platform
