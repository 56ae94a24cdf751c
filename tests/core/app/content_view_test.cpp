// The installer's commands over fakes, with the macOS table's tools (the Linux table maps each
// step; its own test is at the end): registration, install or repair, settings, restart, close.
#include "core/app/content_view_rig.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quenta::testing {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::IsEmpty;

constexpr const char* kPlugIns = "/Applications/QuentaApp.app/Contents/PlugIns";
constexpr const char* kExtension =
    "/Applications/QuentaApp.app/Contents/PlugIns/QuentaFinderExtension.appex";
constexpr const char* kPluginKit = "/usr/bin/pluginkit";
constexpr const char* kLsregister =
    "/System/Library/Frameworks/CoreServices.framework/Frameworks/LaunchServices.framework/"
    "Support/lsregister";
constexpr const char* kNotFound =
    "没有找到 Finder 扩展：/Applications/QuentaApp.app/Contents/PlugIns/"
    "QuentaFinderExtension.appex";
constexpr const char* kRegistered = "扩展已注册，请在系统设置里启用“Lumvik”。";
constexpr const char* kRegistrationFailed = "扩展注册失败，请确认 App 没有被系统隔离。";
constexpr const char* kInstalled =
    "安装成功！\n\n现在可以在 Finder 文件夹空白处右键，选择“Lumvik”。";
constexpr const char* kInstallFailed =
    "已尝试安装/修复，但系统可能拦截了扩展启用。\n\n请在系统设置的扩展/"
    "访达扩展里手动启用“Lumvik”。";
constexpr const char* kFirstSettings = "x-apple.systempreferences:com.apple.ExtensionsPreferences";
constexpr const char* kSecondSettings =
    "x-apple.systempreferences:com.apple.LoginItems-Settings.extension";

class ContentViewTest : public ::testing::Test, protected ContentViewRig {
  protected:
    ContentViewTest() : ContentViewRig("1.0.0") {
        bundle.plugInsPath = kPlugIns;
        bundle.ownPath = "/Applications/QuentaApp.app";
        files.addDirectory(kPlugIns);
        files.addDirectory(kExtension);
        // Everything the view does, in one list, to check the order of steps.
        processes.onRun = [this](const RecordingProcessRunner::Run& run) {
            std::string line = "run " + run.tool.substr(run.tool.rfind('/') + 1);
            for (const auto& argument : run.arguments) {
                line += " " + argument;
            }
            steps.push_back(line);
        };
        alerts.onAlert = [this](const AlertContent& alert) {
            steps.push_back("alert " + alert.message);
            EXPECT_EQ(alert.title, "访达右键Lumvik");
            EXPECT_EQ(alert.button, "好");
            EXPECT_EQ(queue.pendingCount(), 0u) << "nothing is scheduled before the alert closes";
        };
    }

    void succeedAll() {
        processes.statuses = {{kPluginKit, 0}, {kLsregister, 0}, {"/usr/bin/killall", 0}};
    }

    std::vector<std::string> steps;
};

// ---- 注册扩展 ----

TEST_F(ContentViewTest, RegisteringWithoutAPlugInsFolderSaysSoWhateverShowResultSays) {
    bundle.plugInsPath.reset();
    EXPECT_FALSE(view.registerExtension(false));
    EXPECT_FALSE(view.registerExtension(true));
    EXPECT_THAT(alerts.messages(), ElementsAre("没有找到内置扩展。", "没有找到内置扩展。"));
    EXPECT_THAT(processes.runs, IsEmpty());
}

TEST_F(ContentViewTest, RegisteringAMissingExtensionNamesItsFullPath) {
    files = FakeFileSystem();
    files.addDirectory(kPlugIns);
    EXPECT_FALSE(view.registerExtension(false));
    EXPECT_THAT(alerts.messages(), ElementsAre(kNotFound));
    EXPECT_THAT(processes.runs, IsEmpty());
}

TEST_F(ContentViewTest, RegistrationOutcomeIsShownOnlyWhenAsked) {
    processes.statuses[kPluginKit] = 0;
    EXPECT_TRUE(view.registerExtension(true));
    EXPECT_TRUE(view.registerExtension(false));
    EXPECT_THAT(processes.runs[0], (RecordingProcessRunner::Run{kPluginKit, {"-a", kExtension}}));

    processes.statuses[kPluginKit] = 1;
    EXPECT_FALSE(view.registerExtension(true));
    EXPECT_FALSE(view.registerExtension(false));
    processes.statuses.erase(kPluginKit);  // the tool cannot be started: -1
    EXPECT_FALSE(view.registerExtension(true));
    EXPECT_THAT(alerts.messages(),
                ElementsAre(kRegistered, kRegistrationFailed, kRegistrationFailed));
}

// ---- 一键安装/修复 ----

TEST_F(ContentViewTest, InstallRunsEveryStepInOrderThenClosesTheWindowAfterTheAlert) {
    succeedAll();
    view.installOrRepair();
    EXPECT_THAT(steps, ElementsAre("run pluginkit -a " + std::string(kExtension),
                                   "run pluginkit -e use -i com.local.QuentaApp.FinderExtension",
                                   "run lsregister -f /Applications/QuentaApp.app",
                                   "run killall Finder", std::string("alert ") + kInstalled));
    EXPECT_THAT(workspace.openedURLs, IsEmpty());
    queue.advance(199ms);
    EXPECT_THAT(shell.events, IsEmpty());
    queue.advance(1ms);
    EXPECT_THAT(shell.events, ElementsAre("orderOutKeyWindow", "hide"));
}

// Finder is not restarted: it has no extension to load.
TEST_F(ContentViewTest, InstallWithTheExtensionMissingStillRunsTheRestAndShowsTwoAlerts) {
    succeedAll();
    files = FakeFileSystem();
    files.addDirectory(kPlugIns);
    view.installOrRepair();
    EXPECT_THAT(steps, ElementsAre(std::string("alert ") + kNotFound,
                                   "run pluginkit -e use -i com.local.QuentaApp.FinderExtension",
                                   "run lsregister -f /Applications/QuentaApp.app",
                                   std::string("alert ") + kInstallFailed));
    EXPECT_THAT(workspace.openedURLs, ElementsAre(kFirstSettings));
    queue.advance(1s);
    EXPECT_THAT(shell.events, IsEmpty()) << "the window stays";
}

TEST_F(ContentViewTest, InstallFailsWhenRegistrationOrEnablingFails) {
    struct Case {
        int registrationStatus;
        int enableStatus;
    };
    // Registration and enabling are both pluginkit; the fake answers by tool, so tell the two runs
    // apart by their first argument.
    for (const Case c : {Case{1, 0}, Case{0, 1}, Case{-1, 0}, Case{0, -1}, Case{0, 2}}) {
        SCOPED_TRACE(std::to_string(c.registrationStatus) + "/" + std::to_string(c.enableStatus));
        alerts.shown.clear();
        workspace.openedURLs.clear();
        struct Answering : ProcessRunner {
            Case answers;
            std::vector<std::string> tools;
            // -1 stands for a tool that could not be started.
            Result<int> run(const std::string& tool,
                            const std::vector<std::string>& arguments) override {
                tools.push_back(tool);
                if (tool != kPluginKit) {
                    return 0;
                }
                const int status =
                    arguments.at(0) == "-a" ? answers.registrationStatus : answers.enableStatus;
                if (status < 0) {
                    return Error{ErrorKind::notFound, tool + ": No such file or directory"};
                }
                return status;
            }
        } answering;
        answering.answers = c;
        ContentView failing({answering, files, workspace, alerts, bundle, queue, shell, updates},
                            macosInstallerTable());
        failing.installOrRepair();
        EXPECT_THAT(alerts.messages(), ElementsAre(kInstallFailed));
        // Finder is restarted once the extension is registered.
        std::vector<std::string> tools{kPluginKit, kPluginKit, kLsregister};
        if (c.registrationStatus == 0) {
            tools.emplace_back("/usr/bin/killall");
        }
        EXPECT_EQ(answering.tools, tools);
        EXPECT_THAT(workspace.openedURLs, ElementsAre(kFirstSettings));
        EXPECT_EQ(queue.pendingCount(), 0u);
    }
}

TEST_F(ContentViewTest, TheStatusesOfReRegistrationAndRestartAreNotLookedAt) {
    processes.statuses = {{kPluginKit, 0}};  // lsregister and killall cannot even start
    view.installOrRepair();
    EXPECT_THAT(alerts.messages(), ElementsAre(kInstalled));
}

// ---- 打开扩展设置, 重启访达 ----

TEST_F(ContentViewTest, SettingsTryEachAddressInTurnThenSayWhatToDo) {
    view.openExtensionsSettings();
    EXPECT_THAT(workspace.openedURLs, ElementsAre(kFirstSettings));

    workspace.openedURLs.clear();
    workspace.refusedURLs = {kFirstSettings};
    view.openExtensionsSettings();
    EXPECT_THAT(workspace.openedURLs, ElementsAre(kFirstSettings, kSecondSettings));
    EXPECT_THAT(alerts.shown, IsEmpty());

    workspace.openedURLs.clear();
    workspace.refusedURLs = {kFirstSettings, kSecondSettings};
    view.openExtensionsSettings();
    EXPECT_THAT(workspace.openedURLs, ElementsAre(kFirstSettings, kSecondSettings));
    EXPECT_THAT(alerts.messages(),
                ElementsAre("没有找到扩展设置。请在系统设置的扩展/访达扩展里手动启用“Lumvik”。"));
}

TEST_F(ContentViewTest, RestartingTheFileManagerShowsNothingEvenWhenItFails) {
    view.restartFileManager();
    processes.statuses["/usr/bin/killall"] = 1;
    view.restartFileManager();
    EXPECT_THAT(steps, ElementsAre("run killall Finder", "run killall Finder"));
    EXPECT_THAT(alerts.shown, IsEmpty());
}

TEST_F(ContentViewTest, TheCloseStepDoesNothingOnceTheViewIsGone) {
    auto shortLived = std::make_unique<ContentView>(
        ContentViewPorts{processes, files, workspace, alerts, bundle, queue, shell, updates},
        macosInstallerTable());
    shortLived->closeInstallerWindow();
    shortLived.reset();
    EXPECT_EQ(queue.advance(1s), 1);
    EXPECT_THAT(shell.events, IsEmpty());
}

// ---- The Linux table ----

TEST(InstallerTableTest, LinuxMapsEachStepToTheDesktopsCounterpart) {
    const InstallerTable& table = platformInstallerTable();
    struct Expected {
        const char* executable;
        const char* module;
        const char* folder;
        const char* name;
        const char* package;
        bool restarts;
    };
    const Expected expected[] = {
        {"/usr/bin/nautilus", "libquenta-nautilus.so", "/nautilus/extensions-4/", "GNOME Files",
         "quenta-nautilus", true},
        {"/usr/bin/nemo", "libquenta-nemo.so", "/nemo/extensions-3.0/", "Nemo", "quenta-nemo",
         true},
        {"/usr/bin/caja", "libquenta-caja.so", "/caja/extensions-2.0/", "Caja", "quenta-caja",
         true},
        {"/usr/bin/thunar", "libquenta-thunar.so", "/thunarx-3/", "Thunar", "quenta-thunar", true},
        // Built only with the KDE development packages.
        {"/usr/bin/dolphin", "quenta_dolphin.so", "/kf5/kfileitemaction/", "Dolphin",
         "quenta-dolphin", false},
    };
    ASSERT_GE(table.fileManagers.size(), std::size(expected) - 1);
    ASSERT_LE(table.fileManagers.size(), std::size(expected));
    for (std::size_t i = 0; i < table.fileManagers.size(); ++i) {
        const FileManagerSteps& steps = table.fileManagers[i];
        SCOPED_TRACE(steps.executable);
        EXPECT_EQ(steps.executable, expected[i].executable);
        EXPECT_EQ(steps.name, expected[i].name);
        EXPECT_EQ(steps.package, expected[i].package);
        if (steps.extensionName.empty()) {
            continue;  // this build left the module out: it is never shipped
        }
        EXPECT_EQ(steps.extensionName, expected[i].module);
        const ToolRun registration = steps.registration("/usr/lib/quentaapp/plugins/m.so");
        EXPECT_EQ(registration,
                  (ToolRun{"/usr/bin/ln",
                           {"-sf", "/usr/lib/quentaapp/plugins/m.so", steps.installedPath}}));
        EXPECT_THAT(steps.installedPath,
                    EndsWith(std::string(expected[i].folder) + expected[i].module));
        EXPECT_EQ(steps.restart,
                  expected[i].restarts ? (ToolRun{expected[i].executable, {"-q"}}) : ToolRun{});
    }
    EXPECT_EQ(table.enabling,
              (ToolRun{"/usr/bin/xdg-mime",
                       {"default", "quentaapp.desktop", "x-scheme-handler/quentaapp"}}));
    EXPECT_EQ(table.bundleRegistration("/usr/share/applications"),
              (ToolRun{"/usr/bin/update-desktop-database", {"/usr/share/applications"}}));
    EXPECT_EQ(table.folderCreation("/usr/lib/nemo/extensions-3.0"),
              (ToolRun{"/usr/bin/mkdir", {"-p", "--", "/usr/lib/nemo/extensions-3.0"}}));
    EXPECT_THAT(table.settingsAddresses,
                ::testing::AllOf(::testing::Contains("gnome-default-apps-panel.desktop"),
                                 ::testing::Contains("kcm_componentchooser.desktop"),
                                 ::testing::Contains("xfce4-mime-settings.desktop"),
                                 ::testing::Contains("thunar-settings.desktop")));
}

// On Linux, "一键安装/修复" serves each installed file manager whose module is shipped: it creates
// a missing extension folder, writes nothing where the module already is, passes over (and names)
// a file manager whose module is not shipped or whose folder the user may not write, and
// restarts only the file managers served.
TEST_F(ContentViewTest, OnLinuxInstallServesTheFileManagersItCan) {
    const InstallerTable& linux = platformInstallerTable();
    ContentView onLinux({processes, files, workspace, alerts, bundle, queue, shell, updates},
                        linux);
    const FileManagerSteps& nautilus = linux.fileManagers[0];
    const FileManagerSteps& nemo = linux.fileManagers[1];
    const FileManagerSteps& caja = linux.fileManagers[2];
    const FileManagerSteps& thunar = linux.fileManagers[3];
    for (const FileManagerSteps* each : {&nautilus, &nemo, &caja, &thunar}) {
        if (each->extensionName.empty()) {
            GTEST_SKIP() << "this build left out the module of " << each->name;
        }
    }
    const auto module = [](const FileManagerSteps& fileManager) {
        return std::string(kPlugIns) + "/" + fileManager.extensionName;
    };
    onLinux.restartFileManager();
    EXPECT_THAT(steps, IsEmpty()) << "no file manager has the extension yet";

    for (const FileManagerSteps* fileManager : {&nautilus, &nemo, &caja, &thunar}) {
        files.addFile(fileManager->executable, "");
        if (fileManager != &thunar) {  // Thunar's package is not installed
            files.addFile(module(*fileManager), "");
        }
    }
    files.addSymlink(nautilus.installedPath, module(nautilus));  // its package put it there
    const std::string nemoFolder = nemo.installedPath.substr(0, nemo.installedPath.rfind('/'));
    const std::string cajaFolder = caja.installedPath.substr(0, caja.installedPath.rfind('/'));
    files.addDirectory(cajaFolder);
    files.failWritesIn(cajaFolder, Error{ErrorKind::permissionDenied, "Permission denied"});
    processes.statuses = {{"/usr/bin/mkdir", 0}, {"/usr/bin/ln", 0}, {"/usr/bin/xdg-mime", 0}};

    onLinux.installOrRepair();
    const std::string passedOver =
        "\n\n这些文件管理器的扩展没有安装，已跳过：\nThunar (quenta-thunar)"
        "\n\n无法写入这些文件管理器的扩展文件夹，请安装对应的软件包：\nCaja (quenta-caja)";
    EXPECT_THAT(steps, ElementsAre("run mkdir -p -- " + nemoFolder,
                                   "run ln -sf " + module(nemo) + " " + nemo.installedPath,
                                   "run xdg-mime default quentaapp.desktop "
                                   "x-scheme-handler/quentaapp",
                                   "run update-desktop-database /Applications/QuentaApp.app",
                                   "run nautilus -q", "run nemo -q",
                                   std::string("alert ") + kInstalled + passedOver));
    queue.advance(1s);
    EXPECT_THAT(shell.events, ElementsAre("orderOutKeyWindow", "hide"));

    // A registration that fails: the outcome is failure, and names the same file managers.
    steps.clear();
    processes.statuses["/usr/bin/ln"] = 1;
    onLinux.installOrRepair();
    EXPECT_EQ(steps.back(), std::string("alert ") + kInstallFailed + passedOver);
    EXPECT_THAT(workspace.openedURLs, ElementsAre(linux.settingsAddresses.front()));

    steps.clear();
    onLinux.restartFileManager();
    EXPECT_THAT(steps, ElementsAre("run nautilus -q")) << "only where the extension is in place";
}

// The desktop database is refreshed only by a user who may write its folder; in a packaged
// install the package system keeps it, and no write into that system folder is tried.
TEST_F(ContentViewTest, OnLinuxTheDesktopDatabaseIsRefreshedOnlyWhereTheUserMayWrite) {
    ContentView onLinux({processes, files, workspace, alerts, bundle, queue, shell, updates},
                        platformInstallerTable());
    bundle.ownPath = "/usr/share/applications";
    const std::string refresh = "run update-desktop-database /usr/share/applications";
    files.addDirectory(bundle.ownPath);
    onLinux.installOrRepair();
    EXPECT_THAT(steps, ::testing::Contains(refresh));

    steps.clear();
    files.failWritesIn(bundle.ownPath, Error{ErrorKind::permissionDenied, "Permission denied"});
    onLinux.installOrRepair();
    EXPECT_THAT(steps, ::testing::Not(::testing::Contains(refresh)));
    EXPECT_THAT(steps, ::testing::Contains("run xdg-mime default quentaapp.desktop "
                                           "x-scheme-handler/quentaapp"));
}

}  // namespace
}  // namespace quenta::testing
