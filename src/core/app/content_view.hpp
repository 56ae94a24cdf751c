#pragma once

#include "core/app/installer_table.hpp"
#include "core/app/update_status.hpp"
#include "core/shared/shared_names.hpp"
#include "core/shared/update_checker.hpp"
#include "core/shared/weak_ptr.hpp"
#include "ports/alerts.hpp"
#include "ports/app_shell.hpp"
#include "ports/bundle.hpp"
#include "ports/file_system.hpp"
#include "ports/localizer.hpp"
#include "ports/main_queue.hpp"
#include "ports/process_runner.hpp"
#include "ports/workspace.hpp"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quenta {

// The platform facilities the installer uses. All references outlive the ContentView.
struct ContentViewPorts {
    ProcessRunner& processes;
    const FileSystem& files;
    Workspace& workspace;
    Alerts& alerts;
    const Bundle& bundle;
    MainQueue& mainQueue;
    AppShell& shell;
    UpdateChecker& updates;
    // The window's and the alerts' texts in the user's language.
    const Localizer& localizer = IdentityLocalizer::instance();
};

// The installer window's contents as logic: its four commands (registering and enabling the file
// manager's extension, opening the extension settings, restarting the file manager) and the update
// row's state. A platform view draws it and calls these operations from its buttons; the view is
// told through `setOnChange` whenever what it shows has changed. Main thread only.
class ContentView {
  public:
    static constexpr std::string_view kAlertTitle = names::kAlertTitle;
    static constexpr std::string_view kAlertButton = names::kAlertButton;
    static constexpr std::chrono::milliseconds kCloseDelay{200};

    // The texts of the window, top to bottom: keys of the user's language, which the view shows
    // through `localized`, as the labels below.
    static constexpr std::string_view kTitle = textKey("访达右键Lumvik");
    static constexpr std::string_view kSubtitle =
        textKey("启用 Finder 扩展后，在访达目录中右键即可创建常见文件。");
    static constexpr std::string_view kCapabilitiesHeading = textKey("可创建");
    static constexpr std::string_view kFileKinds =
        textKey("txt、md、rtf、csv、json、html、css、docx、pdf、pptx、xlsx、js、py、swift、sh");
    static constexpr std::string_view kOtherCommands =
        textKey("支持新建空白文件夹、剪切/粘贴、拷贝路径、打开终端、移到废纸篓");

    // The four command buttons, left to right: label and system symbol name.
    struct Command {
        std::string_view label;
        std::string_view symbol;
    };
    static constexpr Command kInstallCommand{textKey("一键安装/修复"), "wand.and.stars"};
    static constexpr Command kRegisterCommand{textKey("注册扩展"), "plus.app"};
    static constexpr Command kSettingsCommand{textKey("打开扩展设置"), "switch.2"};
    static constexpr Command kRestartCommand{textKey("重启访达"), "arrow.clockwise"};
    static constexpr std::string_view kHeaderSymbol = "doc.badge.plus";
    static constexpr std::string_view kDownloadLabel = textKey("下载新版本");
    static constexpr std::string_view kCheckLabel = textKey("检查更新");

    ContentView(ContentViewPorts ports, InstallerTable table);
    ~ContentView();
    ContentView(const ContentView&) = delete;
    ContentView& operator=(const ContentView&) = delete;

    // Runs a tool and waits for it: whether it ran and exited with status 0.
    bool run(const std::string& tool, const std::vector<std::string>& arguments);
    // Shows a modal alert with the message, which is shown as it is; returns once it is
    // dismissed.
    void showAlert(std::string_view message);
    // A text of the window in the user's language.
    [[nodiscard]] std::string localized(std::string_view key) const {
        return ports_.localizer.localized(key);
    }

    // The file managers the file-manager steps apply to: those of the table that are installed,
    // or the first when none is.
    [[nodiscard]] std::vector<const FileManagerSteps*> installedFileManagers() const;
    // "注册扩展" (showResult true) and the first step of "一键安装/修复": registers the extension
    // with each installed file manager whose module is shipped, creating its extension folder
    // where the user may. True when at least one file manager is served and every registration
    // run succeeded. A file manager whose module is not shipped, or whose folder the user may not
    // write, is passed over and named in the outcome (with the package that installs its module);
    // when no installed file manager's module is shipped, an alert names each missing module,
    // whatever `showResult` says. The outcome is shown only when `showResult` is true.
    bool registerExtension(bool showResult);
    // "一键安装/修复": registers, enables, registers the application again and restarts the file
    // managers served, every step whatever the earlier ones gave, then reports the outcome.
    void installOrRepair();
    // "打开扩展设置": opens the first of the settings addresses that opens, or else says in an
    // alert what to do.
    void openExtensionsSettings();
    // "重启访达": restarts each installed file manager that has the extension; nothing is shown,
    // whatever the outcome.
    void restartFileManager();
    // Hides the installer window and the application a moment later (kCloseDelay on the main
    // queue); returns at once.
    void closeInstallerWindow();

    // The update row.
    [[nodiscard]] std::string currentVersionText() const;
    [[nodiscard]] const UpdateStatus& updateStatus() const { return updateStatus_; }
    [[nodiscard]] UpdateStatusText statusText() const {
        return updateStatusText(updateStatus_, ports_.localizer);
    }
    [[nodiscard]] bool showsDownloadButton() const { return updateStatus_.isAvailable(); }
    [[nodiscard]] bool checkButtonEnabled() const {
        return updateStatus_.kind != UpdateStatus::Kind::checking;
    }
    // Runs when the view comes on screen: shows a cached newer release at once, then checks.
    void appear();
    // "检查更新": starts a check and returns at once; its outcome updates the row.
    void checkForUpdates();
    // "下载新版本": opens the download page of the release shown.
    void downloadNewVersion();

    void setOnChange(std::function<void()> onChange) { onChange_ = std::move(onChange); }

  private:
    // What registering did: the file managers served (the extension in place or registered now),
    // the texts naming those passed over, and whether everything run for them succeeded; whether
    // alerts already said why nothing could be registered.
    struct Registration {
        bool succeeded = false;
        bool alerted = false;
        std::vector<const FileManagerSteps*> served;
        std::string notes;
    };
    [[nodiscard]] Registration registerWithFileManagers();
    // Whether a folder exists or the user may create it (with its missing parents).
    [[nodiscard]] bool mayWriteFolder(const std::string& folder) const;
    bool openSettingsAddress();
    void restart(const std::vector<const FileManagerSteps*>& fileManagers);
    void setUpdateStatus(UpdateStatus status);

    ContentViewPorts ports_;
    InstallerTable table_;
    UpdateStatus updateStatus_;
    std::function<void()> onChange_;
    // Deferred work (the close step, update completions) holds this weakly and does nothing once
    // the view is gone.
    WeakPtrFactory<ContentView> weakFactory_{this};
};

}  // namespace quenta
