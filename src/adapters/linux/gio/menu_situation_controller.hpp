#pragma once

#include "ports/file_manager_controller.hpp"

#include <gio/gio.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quenta::linux_platform {

// What a file manager reported for one menu, as plain absolute paths; for a place without a local
// path (the Trash, Recent, a remote folder without FUSE), its address instead.
struct MenuSituation {
    std::optional<std::string> targeted;
    std::optional<std::vector<std::string>> selected;
    std::optional<std::string> address;

    friend bool operator==(const MenuSituation&, const MenuSituation&) = default;
};

// The file-manager controller of a module loaded into a file manager (GNOME Files, Nemo, Caja,
// Thunar): it answers from the file-info objects the host hands its menu provider. The hosts ask
// for menus on every selection change, so each menu gets its own situation, and the controller
// answers with whichever situation the module is serving: the one of the menu being built, or the
// one of the menu whose item the user activated. Items without a local path (trash://, sftp://)
// count as absent; where nothing local is left, the place they are in is reported by its address.
// A GVfs location has a local path where its FUSE daemon runs. Every host's file-info type has a
// `get_location` returning a new GFile reference; the situations are built through it. Main thread
// only.
class MenuSituationController : public FileManagerController {
  public:
    // The local path of a location, none for a location without one. Takes the reference.
    [[nodiscard]] static std::optional<std::string> takeLocalPath(GFile* location);
    // The situation of a background click on `location` (may be null). Takes the reference.
    [[nodiscard]] static MenuSituation takeFolderSituation(GFile* location);
    // The address of the folder holding `location`. Does not take the reference.
    [[nodiscard]] static std::optional<std::string> parentAddress(GFile* location);
    // The selected paths in the host's order, and the folder that holds the first as the target.
    [[nodiscard]] static MenuSituation situationForPaths(std::vector<std::string> selected);

    // The background of a folder: the folder is the target, there is no selection list.
    template <typename FileInfo>
    [[nodiscard]] static MenuSituation situationForFolder(FileInfo* folder,
                                                          GFile* (*location)(FileInfo*)) {
        return takeFolderSituation(folder != nullptr ? location(folder) : nullptr);
    }
    // A selection (a GList of the host's file-info objects).
    template <typename FileInfo>
    [[nodiscard]] static MenuSituation situationForSelection(GList* files,
                                                             GFile* (*location)(FileInfo*)) {
        std::vector<std::string> selected;
        std::optional<std::string> place;
        for (GList* node = files; node != nullptr; node = node->next) {
            GFile* file = location(static_cast<FileInfo*>(node->data));
            if (node == files && file != nullptr) {
                place = parentAddress(file);
            }
            if (auto path = takeLocalPath(file)) {
                selected.push_back(std::move(*path));
            }
        }
        MenuSituation situation = situationForPaths(std::move(selected));
        if (situation.selected->empty()) {
            situation.address = std::move(place);
        }
        return situation;
    }

    // From now on the controller answers with this situation (none: nothing reported).
    void answer(std::shared_ptr<const MenuSituation> situation);

    [[nodiscard]] std::optional<std::string> targetedURL() const override;
    [[nodiscard]] std::optional<std::vector<std::string>> selectedItemURLs() const override;
    [[nodiscard]] std::optional<std::string> placeAddress() const override;
    // The hosts offer a module's items in every folder; the folders are only remembered.
    void setDirectoryURLs(const std::vector<std::string>& folders) override;

    [[nodiscard]] const std::vector<std::string>& directoryURLs() const { return observed_; }

  private:
    std::shared_ptr<const MenuSituation> situation_;
    std::vector<std::string> observed_;
};

}  // namespace quenta::linux_platform
