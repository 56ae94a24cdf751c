#include "core/app/content_view.hpp"

#include <utility>

namespace quenta {

ContentView::ContentView(ContentViewPorts ports, InstallerTable table)
    : ports_(ports), table_(std::move(table)) {}

ContentView::~ContentView() = default;

bool ContentView::run(const std::string& tool, const std::vector<std::string>& arguments) {
    const Result<int> status = ports_.processes.run(tool, arguments);
    return status.ok() && status.value() == 0;
}

void ContentView::showAlert(std::string_view message) {
    ports_.alerts.runModal({localized(kAlertTitle), std::string(message), localized(kAlertButton)});
}

std::vector<const FileManagerSteps*> ContentView::installedFileManagers() const {
    std::vector<const FileManagerSteps*> installed;
    for (const auto& fileManager : table_.fileManagers) {
        if (fileManager.executable.empty() || ports_.files.itemExists(fileManager.executable)) {
            installed.push_back(&fileManager);
        }
    }
    if (installed.empty() && !table_.fileManagers.empty()) {
        installed.push_back(&table_.fileManagers.front());
    }
    return installed;
}

bool ContentView::registerExtension(bool showResult) {
    const auto plugIns = ports_.bundle.builtInPlugInsPath();
    if (!plugIns) {
        showAlert(localized("没有找到内置扩展。"));
        return false;
    }
    std::string folder = *plugIns;
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    bool found = true;
    bool registered = true;
    for (const FileManagerSteps* fileManager : installedFileManagers()) {
        const std::string extensionPath = folder + fileManager->extensionName;
        if (!ports_.files.itemExists(extensionPath)) {
            showAlert(localized("没有找到 Finder 扩展：") + extensionPath);
            found = false;
            continue;
        }
        if (!fileManager->installedPath.empty() &&
            ports_.files.sameContents(fileManager->installedPath, extensionPath)) {
            continue;  // already in place: nothing to write into the file manager's folder
        }
        const ToolRun registration = fileManager->registration(extensionPath);
        registered = run(registration.tool, registration.arguments) && registered;
    }
    if (!found) {
        return false;
    }
    if (showResult) {
        showAlert(registered ? localized("扩展已注册，请在系统设置里启用“Lumvik”。")
                             : localized("扩展注册失败，请确认 App 没有被系统隔离。"));
    }
    return registered;
}

void ContentView::installOrRepair() {
    const bool registered = registerExtension(false);
    const bool enabled = run(table_.enabling.tool, table_.enabling.arguments);
    const std::string bundlePath = ports_.bundle.bundlePath();
    if (!table_.bundleRegistrationWritesBundle || ports_.files.canCreateIn(bundlePath)) {
        const ToolRun bundleRegistration = table_.bundleRegistration(bundlePath);
        ignoreResult(run(bundleRegistration.tool, bundleRegistration.arguments),
                     "registering the application again only refreshes what the system knows; "
                     "the outcome rests on registering and enabling the extension");
    }
    restartFileManager();
    if (registered && enabled) {
        showAlert(localized("安装成功！\n\n现在可以在 Finder 文件夹空白处右键，选择“Lumvik”。"));
        closeInstallerWindow();
        return;
    }
    openExtensionsSettings();
    showAlert(
        localized("已尝试安装/修复，但系统可能拦截了扩展启用。\n\n"
                  "请在系统设置的扩展/访达扩展里手动启用“Lumvik”。"));
}

void ContentView::openExtensionsSettings() {
    if (!table_.firstSettingsAddress.empty() &&
        ports_.workspace.openURL(table_.firstSettingsAddress)) {
        return;
    }
    if (!table_.secondSettingsAddress.empty()) {
        ignoreResult(ports_.workspace.openURL(table_.secondSettingsAddress),
                     "the last settings address: there is nothing else to try");
    }
}

void ContentView::restartFileManager() {
    for (const FileManagerSteps* fileManager : installedFileManagers()) {
        ignoreResult(run(fileManager->restart.tool, fileManager->restart.arguments),
                     "a file manager that is not running starts afresh on its next use anyway");
    }
}

void ContentView::closeInstallerWindow() {
    ports_.mainQueue.asyncAfter(kCloseDelay, [weak = weakFactory_.weakPtr()] {
        if (ContentView* self = weak.get()) {
            self->ports_.shell.orderOutKeyWindow();
            self->ports_.shell.hide();
        }
    });
}

std::string ContentView::currentVersionText() const {
    return localized("当前版本 v") + ports_.updates.currentVersion();
}

void ContentView::appear() {
    setUpdateStatus(statusOnAppearance(updateStatus_, ports_.updates.availableUpdate()));
    checkForUpdates();
}

void ContentView::checkForUpdates() {
    setUpdateStatus(statusWhenCheckStarts(updateStatus_));
    ports_.updates.check([weak = weakFactory_.weakPtr()](const UpdateChecker::CheckResult& result) {
        if (ContentView* self = weak.get()) {
            self->setUpdateStatus(statusWhenCheckEnds(self->updateStatus_, result));
        }
    });
}

void ContentView::downloadNewVersion() {
    if (updateStatus_.release) {
        ignoreResult(ports_.workspace.openURL(updateStatus_.release->pageURL),
                     "the workspace reports a page it cannot open itself");
    }
}

void ContentView::setUpdateStatus(UpdateStatus status) {
    if (status == updateStatus_) {
        return;
    }
    updateStatus_ = std::move(status);
    if (onChange_) {
        onChange_();
    }
}

}  // namespace quenta
