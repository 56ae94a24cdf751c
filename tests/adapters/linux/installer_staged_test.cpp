// "一键安装/修复" with the Linux table over a staged root: real folders, links and child processes
// (the file managers are stand-in scripts that record their restart), never the machine's own
// extension folders or the user's settings.
#include "adapters/linux/posix/file_system_posix.hpp"
#include "adapters/linux/posix/process_runner_posix.hpp"
#include "core/app/content_view.hpp"
#include "fakes/fixed_bundle.hpp"
#include "fakes/fixed_clock.hpp"
#include "fakes/manual_main_queue.hpp"
#include "fakes/memory_defaults.hpp"
#include "fakes/recording_alerts.hpp"
#include "fakes/recording_app_shell.hpp"
#include "fakes/recording_workspace.hpp"
#include "fakes/scripted_http_client.hpp"
#include "support/environment_scope.hpp"
#include "support/temp_dir.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace quenta::testing {
namespace {

using ::testing::ElementsAre;

TEST(InstallerStagedTest, ServesTheFileManagersItCanAndRestartsOnlyThose) {
    TempDir root;
    TempDir home;
    EnvironmentScope environment;
    environment.set("HOME", home.path());
    environment.set("XDG_CONFIG_HOME", home / "config");
    environment.set("XDG_DATA_HOME", home / "data");

    const InstallerTable table = linuxInstallerTable(root.path());
    const std::string plugIns = root / "plugins";
    runCommand("mkdir -p " + shellQuote(plugIns) + " " + shellQuote(root / "usr/bin"));
    // GNOME Files, Nemo and Caja are installed with their modules shipped; Thunar is installed
    // without (its package is missing); GNOME Files' package already put its module in place, and
    // Nemo has no extension folder yet.
    for (std::size_t i = 0; i < 4; ++i) {
        const FileManagerSteps& fileManager = table.fileManagers[i];
        writeFile(fileManager.executable,
                  "#!/bin/sh\necho \"${0##*/} $*\" >>\"$(dirname \"$0\")/restarts\"\n");
        ASSERT_EQ(runCommand("chmod 755 " + shellQuote(fileManager.executable)).status, 0);
        if (fileManager.name != "Thunar") {
            writeFile(plugIns + "/" + fileManager.extensionName, fileManager.name);
        }
    }
    const FileManagerSteps& nautilus = table.fileManagers[0];
    const FileManagerSteps& nemo = table.fileManagers[1];
    const FileManagerSteps& caja = table.fileManagers[2];
    const auto folderOf = [](const std::string& path) { return path.substr(0, path.rfind('/')); };
    runCommand("mkdir -p " + shellQuote(folderOf(nautilus.installedPath)) + " " +
               shellQuote(folderOf(caja.installedPath)));
    writeFile(nautilus.installedPath, nautilus.name);

    linux_platform::PosixFileSystem files;
    linux_platform::PosixProcessRunner processes;
    FixedClock clock;
    ManualMainQueue queue{clock};
    RecordingWorkspace workspace;
    RecordingAlerts alerts;
    RecordingAppShell shell;
    FixedBundle bundle{std::optional<std::string>("1.0.0")};
    bundle.plugInsPath = plugIns;
    bundle.ownPath = home / "data/applications";
    MemoryDefaults defaults;
    ScriptedHttpClient http{queue};
    UpdateChecker updates{defaults, http, queue, clock, bundle};
    ContentView view({processes, files, workspace, alerts, bundle, queue, shell, updates}, table);

    view.installOrRepair();
    EXPECT_THAT(alerts.messages(),
                ElementsAre("安装成功！\n\n现在可以在 Finder 文件夹空白处右键，选择“Lumvik”。"
                            "\n\n这些文件管理器的扩展没有安装，已跳过：\nThunar (quenta-thunar)"));
    EXPECT_EQ(readFile(nemo.installedPath), "Nemo") << "the folder was made and the module linked";
    EXPECT_EQ(readFile(caja.installedPath), "Caja");
    EXPECT_EQ(readFile(nautilus.installedPath), "GNOME Files");
    EXPECT_EQ(runCommand("test -L " + shellQuote(nautilus.installedPath)).status, 1)
        << "nothing is written where the module already is";
    EXPECT_EQ(readFile(root / "usr/bin/restarts"), "nautilus -q\nnemo -q\ncaja -q\n");
}

}  // namespace
}  // namespace quenta::testing
