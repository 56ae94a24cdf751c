#include "adapters/linux/gio/menu_situation_controller.hpp"

#include "core/shared/file_paths.hpp"

#include <utility>

namespace quenta::linux_platform {

std::optional<std::string> MenuSituationController::takeLocalPath(GFile* location) {
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

MenuSituation MenuSituationController::takeFolderSituation(GFile* location) {
    MenuSituation situation;
    if (location == nullptr) {
        return situation;
    }
    char* uri = g_file_get_uri(location);
    std::string address = uri != nullptr ? uri : "";
    g_free(uri);
    situation.targeted = takeLocalPath(location);
    if (!situation.targeted && !address.empty()) {
        situation.address = std::move(address);
    }
    return situation;
}

std::optional<std::string> MenuSituationController::parentAddress(GFile* location) {
    GFile* parent = g_file_get_parent(location);
    if (parent == nullptr) {
        return std::nullopt;
    }
    char* uri = g_file_get_uri(parent);
    g_object_unref(parent);
    std::optional<std::string> address;
    if (uri != nullptr) {
        address = uri;
        g_free(uri);
    }
    return address;
}

MenuSituation MenuSituationController::situationForPaths(std::vector<std::string> selected) {
    MenuSituation situation{std::nullopt, std::move(selected), std::nullopt};
    if (!situation.selected->empty()) {
        situation.targeted = parentPath(situation.selected->front());
    }
    return situation;
}

void MenuSituationController::answer(std::shared_ptr<const MenuSituation> situation) {
    situation_ = std::move(situation);
}

std::optional<std::string> MenuSituationController::targetedURL() const {
    return situation_ ? situation_->targeted : std::nullopt;
}

std::optional<std::vector<std::string>> MenuSituationController::selectedItemURLs() const {
    return situation_ ? situation_->selected : std::nullopt;
}

std::optional<std::string> MenuSituationController::placeAddress() const {
    return situation_ ? situation_->address : std::nullopt;
}

void MenuSituationController::setDirectoryURLs(const std::vector<std::string>& folders) {
    observed_ = folders;
}

}  // namespace quenta::linux_platform
