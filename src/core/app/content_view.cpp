#include "core/app/content_view.hpp"

#include "core/shared/file_paths.hpp"

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

bool ContentView::mayWriteFolder(const std::string& folder) const {
    std::string existing = folder;
    while (!ports_.files.itemExists(existing) && existing != "/") {
        existing = parentPath(existing);
    }
    return ports_.files.isDirectory(existing) && ports_.files.canCreateIn(existing);
}

ContentView::Registration ContentView::registerWithFileManagers() {
    Registration outcome;
    const auto plugIns = ports_.bundle.builtInPlugInsPath();
    if (!plugIns) {
        showAlert(localized("没有找到内置扩展。"));
        outcome.alerted = true;
        return outcome;
    }
    const std::string folder = trimmingTrailingSlashes(*plugIns);
    std::vector<std::string> missingModules;
    std::string notShipped;
    std::string notWritable;
    bool succeeded = true;
    for (const FileManagerSteps* fileManager : installedFileManagers()) {
        const std::string extensionPath =
            appendingPathComponent(folder, fileManager->extensionName);
        // The name and the package that would serve it, on a line of its own.
        const std::string named =
            "\n" + fileManager->name +
            (fileManager->package.empty() ? "" : " (" + fileManager->package + ")");
        // No extension name: this build of the application left the module out.
        if (fileManager->extensionName.empty() || !ports_.files.itemExists(extensionPath)) {
            missingModules.push_back(extensionPath);
            notShipped += named;
            continue;
        }
        if (!fileManager->installedPath.empty()) {
            if (ports_.files.sameContents(fileManager->installedPath, extensionPath)) {
                outcome.served.push_back(fileManager);
                continue;  // already in place: nothing to write into the file manager's folder
            }
            const std::string extensionFolder = parentPath(fileManager->installedPath);
            if (!mayWriteFolder(extensionFolder)) {
                notWritable += named;
                continue;
            }
            if (!ports_.files.isDirectory(extensionFolder) && table_.folderCreation) {
                const ToolRun creation = table_.folderCreation(extensionFolder);
                if (!run(creation.tool, creation.arguments)) {
                    succeeded = false;
                    continue;
                }
            }
        }
        const ToolRun registration = fileManager->registration(extensionPath);
        if (run(registration.tool, registration.arguments)) {
            outcome.served.push_back(fileManager);
        } else {
            succeeded = false;
        }
    }
    if (outcome.served.empty() && notWritable.empty() && succeeded) {
        // Not one module shipped: the application itself is incomplete.
        for (const std::string& missing : missingModules) {
            showAlert(localized("没有找到 Finder 扩展：") + missing);
        }
        outcome.alerted = true;
        return outcome;
    }
    if (!notShipped.empty()) {
        outcome.notes += localized("\n\n这些文件管理器的扩展没有安装，已跳过：") + notShipped;
    }
    if (!notWritable.empty()) {
        outcome.notes +=
            localized("\n\n无法写入这些文件管理器的扩展文件夹，请安装对应的软件包：") + notWritable;
    }
    outcome.succeeded = succeeded && !outcome.served.empty();
    return outcome;
}

bool ContentView::registerExtension(bool showResult) {
    const Registration registration = registerWithFileManagers();
    if (showResult && !registration.alerted) {
        showAlert((registration.succeeded
                       ? localized("扩展已注册，请在系统设置里启用“Lumvik”。")
                       : localized("扩展注册失败，请确认 App 没有被系统隔离。")) +
                  registration.notes);
    }
    return registration.succeeded;
}

void ContentView::installOrRepair() {
    const Registration registration = registerWithFileManagers();
    const bool enabled = run(table_.enabling.tool, table_.enabling.arguments);
    const std::string bundlePath = ports_.bundle.bundlePath();
    if (!table_.bundleRegistrationWritesBundle || ports_.files.canCreateIn(bundlePath)) {
        const ToolRun bundleRegistration = table_.bundleRegistration(bundlePath);
        ignoreResult(run(bundleRegistration.tool, bundleRegistration.arguments),
                     "registering the application again only refreshes what the system knows; "
                     "the outcome rests on registering and enabling the extension");
    }
    restart(registration.served);
    if (registration.succeeded && enabled) {
        showAlert(localized("安装成功！\n\n现在可以在 Finder 文件夹空白处右键，选择“Lumvik”。") +
                  registration.notes);
        closeInstallerWindow();
        return;
    }
    ignoreResult(openSettingsAddress(),
                 "the alert that follows says what to do whether the settings opened or not");
    showAlert(localized("已尝试安装/修复，但系统可能拦截了扩展启用。\n\n"
                        "请在系统设置的扩展/访达扩展里手动启用“Lumvik”。") +
              registration.notes);
}

bool ContentView::openSettingsAddress() {
    for (const std::string& address : table_.settingsAddresses) {
        if (ports_.workspace.openURL(address)) {
            return true;
        }
    }
    return false;
}

void ContentView::openExtensionsSettings() {
    if (!openSettingsAddress()) {
        showAlert(localized("没有找到扩展设置。请在系统设置的扩展/访达扩展里手动启用“Lumvik”。"));
    }
}

void ContentView::restartFileManager() {
    std::vector<const FileManagerSteps*> withExtension;
    for (const FileManagerSteps* fileManager : installedFileManagers()) {
        if (fileManager->installedPath.empty() ||
            ports_.files.itemExists(fileManager->installedPath)) {
            withExtension.push_back(fileManager);
        }
    }
    restart(withExtension);
}

void ContentView::restart(const std::vector<const FileManagerSteps*>& fileManagers) {
    for (const FileManagerSteps* fileManager : fileManagers) {
        if (fileManager->restart.tool.empty()) {
            continue;  // it loads the extension without a restart
        }
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
