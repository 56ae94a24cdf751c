#pragma once

#include "core/extension/file_template.hpp"
#include "core/extension/menu_model.hpp"
#include "core/shared/activity_log.hpp"
#include "core/shared/request_url.hpp"
#include "core/shared/shared_names.hpp"
#include "core/shared/update_checker.hpp"
#include "core/shared/weak_ptr.hpp"
#include "ports/application_launcher.hpp"
#include "ports/file_manager_controller.hpp"
#include "ports/file_system.hpp"
#include "ports/front_window_query.hpp"
#include "ports/icons.hpp"
#include "ports/localizer.hpp"
#include "ports/pasteboard.hpp"

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quenta {

// The platform facilities the extension uses. All references outlive the FinderSync.
struct ExtensionPorts {
    FileSystem& fileSystem;
    FileManagerController& controller;
    FrontWindowQuery& frontWindow;
    Pasteboard& pasteboard;
    ApplicationLauncher& launcher;
    Icons& icons;
    ActivityLog& log;
    // The menu's and the toolbar button's texts in the user's language.
    const Localizer& localizer = IdentityLocalizer::instance();
};

// The file-manager extension: its toolbar button, the menu it offers everywhere, the resolution of
// what a command applies to, and the commands, which write the pasteboard or send a request URL to
// the main application. One instance per process; every call comes on the host's main thread,
// except the completion of a request, which only writes a log line.
class FinderSync {
  public:
    static constexpr std::string_view cutPathsPasteboardType = names::kCutPathsPasteboardType;
    static constexpr std::string_view kLogFileName = "QuentaFinderExtension.log";
    static constexpr std::string_view kSystemLogPrefix = "[QuentaFinderExtension] ";
    static constexpr std::string_view kFrontWindowScript =
        "tell application \"Finder\"\n"
        "    if (count of Finder windows) > 0 then\n"
        "        return POSIX path of (target of front Finder window as alias)\n"
        "    else\n"
        "        return POSIX path of (path to desktop folder)\n"
        "    end if\n"
        "end tell";

    struct FileGroup {
        std::string_view title;  // a key of the user's language
        std::vector<FileTemplate> templates;
    };

    // `updateChecker` is the process's one checker; it outlives the FinderSync.
    FinderSync(ExtensionPorts ports, UpdateChecker& updateChecker);
    ~FinderSync();
    FinderSync(const FinderSync&) = delete;
    FinderSync& operator=(const FinderSync&) = delete;

    [[nodiscard]] std::string toolbarItemName() const { return "Lumvik"; }
    [[nodiscard]] std::string toolbarItemToolTip() const { return localized("在当前位置新建文件"); }
    [[nodiscard]] MenuImage toolbarItemImage();

    // The same menu for every kind of menu the file manager asks for.
    [[nodiscard]] Menu menu();

    // Runs the menu action with that selector. An error when there is no such action, or when
    // the action's own work failed where the user sees it (the pasteboard refused a cut or a
    // copied path); requests sent to the main application report through their completion.
    Status perform(std::string_view selector);

    // The actions.
    void create(FileTemplate kind);
    void createFolder();
    // Cut and copy path report the pasteboard's refusal; no selection or path is not a failure.
    Status cutItems();
    void pasteCutItems();
    void trashItems();
    Status copyPath();
    void openTerminal();
    void openUpdatePage();

    // Target resolution.
    [[nodiscard]] std::optional<std::string> targetDirectoryURL();
    [[nodiscard]] std::vector<std::string> pathTargetURLs();
    [[nodiscard]] std::optional<std::string> frontFinderWindowURL();
    // Whether the file manager reported a place without a local path and nothing local in it.
    [[nodiscard]] bool atPlaceWithoutPath() const;
    [[nodiscard]] bool isDirectory(const std::string& path) const;

    [[nodiscard]] MenuImage symbolIcon(std::string_view name,
                                       std::optional<std::string_view> accessibilityDescription);

    static const std::vector<FileGroup>& fileGroups();
    // The selector of a file kind's item, such as "createMarkdown".
    static std::string_view selectorFor(FileTemplate kind);

    // The request sending.
    void openMainAppURL(std::string_view host, const std::vector<QueryItem>& queryItems);
    void openMainAppTrashURL(const std::vector<std::string>& itemURLs);

  private:
    [[nodiscard]] std::string localized(std::string_view key) const {
        return ports_.localizer.localized(key);
    }
    void writeLog(std::string_view message);
    [[nodiscard]] MenuImage fileIcon(FileTemplate kind);
    // Resolves the folder and sends the request; `beforeSending`, when given, runs once the
    // folder is known and stops the command by answering false. True when the request was sent.
    bool runFolderCommand(std::string_view host, std::string_view failureLine,
                          std::string_view targetPrefix, std::vector<QueryItem> items,
                          const std::function<bool()>& beforeSending = {});
    // Whether every item's filesystem has a usable trash.
    [[nodiscard]] bool trashable(const std::vector<std::string>& items) const;
    // Whether a cut waits to be pasted: ours, or a file manager's own on the desktop's clipboard.
    [[nodiscard]] bool cutPending() const;
    // The items a cut can carry, with a log line for each left out.
    std::vector<std::string> cuttablePaths(const std::vector<std::string>& items);

    ExtensionPorts ports_;
    UpdateChecker& updateChecker_;
    std::map<FileKindId, MenuImage> fileIconCache_;
    std::map<std::string, MenuImage, std::less<>> symbolIconCache_;
    // Completions of requests hold this weakly: once the instance is gone they do nothing.
    WeakPtrFactory<FinderSync> weakFactory_{this};
};

}  // namespace quenta
