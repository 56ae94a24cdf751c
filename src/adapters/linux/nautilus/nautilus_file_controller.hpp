#pragma once

#include "ports/file_manager_controller.hpp"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// Nautilus's and GLib's types, declared as their headers declare them, so that including this
// header does not pull in the extension header (whose entry points a module declares first).
typedef struct _NautilusFileInfo NautilusFileInfo;
typedef struct _GList GList;

namespace quenta::linux_platform {

// What Nautilus reported for one menu, as plain absolute paths.
struct NautilusSituation {
    std::optional<std::string> targeted;
    std::optional<std::vector<std::string>> selected;

    friend bool operator==(const NautilusSituation&, const NautilusSituation&) = default;
};

// The file-manager controller answered from what Nautilus hands its menu provider. Nautilus asks
// for menus on every selection change, so each menu gets its own situation, and the controller
// answers with whichever situation the host is serving: the one of the menu being built, or the one
// of the menu whose item the user activated. Items without a local path (other than file://
// locations, such as trash:// or sftp://) count as absent. Main thread only.
class NautilusFileController : public FileManagerController {
  public:
    // The background of a folder: the folder is the target, there is no selection list.
    [[nodiscard]] static NautilusSituation situationForFolder(NautilusFileInfo* folder);
    // A selection (a GList of NautilusFileInfo): the selected items in Nautilus's order, and the
    // folder that holds the first of them as the target.
    [[nodiscard]] static NautilusSituation situationForSelection(GList* files);

    // From now on the controller answers with this situation (none: nothing reported).
    void answer(std::shared_ptr<const NautilusSituation> situation);

    [[nodiscard]] std::optional<std::string> targetedURL() const override;
    [[nodiscard]] std::optional<std::vector<std::string>> selectedItemURLs() const override;
    // Nautilus offers a module's items in every folder; the folders are only remembered.
    void setDirectoryURLs(const std::vector<std::string>& folders) override;

    [[nodiscard]] const std::vector<std::string>& directoryURLs() const { return observed_; }

  private:
    std::shared_ptr<const NautilusSituation> situation_;
    std::vector<std::string> observed_;
};

}  // namespace quenta::linux_platform
