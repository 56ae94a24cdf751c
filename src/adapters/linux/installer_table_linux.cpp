#include "core/app/installer_table.hpp"

#include <string>
#include <utility>

#if !defined(QUENTA_NAUTILUS_EXTENSION_DIR) || !defined(QUENTA_NAUTILUS_MODULE_NAME) || \
    !defined(QUENTA_NEMO_EXTENSION_DIR) || !defined(QUENTA_NEMO_MODULE_NAME) ||         \
    !defined(QUENTA_CAJA_EXTENSION_DIR) || !defined(QUENTA_CAJA_MODULE_NAME) ||         \
    !defined(QUENTA_THUNAR_EXTENSION_DIR) || !defined(QUENTA_THUNAR_MODULE_NAME) ||     \
    !defined(QUENTA_DOLPHIN_EXTENSION_DIR) || !defined(QUENTA_DOLPHIN_MODULE_NAME)
#error "each file manager's extension folder and module file must be named"
#endif

namespace quenta {
namespace {

// A file manager that loads every module of its one extension folder (fixed when it was built;
// there is no per-user folder): registering links the module shipped in the plug-ins folder
// there (unless the module there already is that one), and `EXECUTABLE -q` ends the running file
// manager, which loads its modules when it starts again on its next use. `package` ships the
// module into that folder.
FileManagerSteps linkedModule(std::string executable, const std::string& moduleName,
                              const std::string& extensionFolder, std::string name,
                              std::string package) {
    const std::string installedPath = extensionFolder + "/" + moduleName;
    return {executable,
            moduleName,
            [installedPath](const std::string& extensionPath) {
                return ToolRun{"/usr/bin/ln", {"-sf", extensionPath, installedPath}};
            },
            {executable, {"-q"}},
            installedPath,
            std::move(name),
            std::move(package)};
}

}  // namespace

// The supported file managers, GNOME Files first. The extension's requests reach the application
// through the quentaapp scheme, so enabling makes the application's desktop entry the scheme's
// handler, and the application "bundle" is registered again by refreshing the desktop database of
// the folder that holds its entry.
InstallerTable linuxInstallerTable(const std::string& stagedRoot) {
    const std::string& root = stagedRoot;
    InstallerTable table{
        {
            linkedModule(root + "/usr/bin/nautilus", QUENTA_NAUTILUS_MODULE_NAME,
                         root + QUENTA_NAUTILUS_EXTENSION_DIR, "GNOME Files", "quenta-nautilus"),
            linkedModule(root + "/usr/bin/nemo", QUENTA_NEMO_MODULE_NAME,
                         root + QUENTA_NEMO_EXTENSION_DIR, "Nemo", "quenta-nemo"),
            linkedModule(root + "/usr/bin/caja", QUENTA_CAJA_MODULE_NAME,
                         root + QUENTA_CAJA_EXTENSION_DIR, "Caja", "quenta-caja"),
            linkedModule(root + "/usr/bin/thunar", QUENTA_THUNAR_MODULE_NAME,
                         root + QUENTA_THUNAR_EXTENSION_DIR, "Thunar", "quenta-thunar"),
        },
        {"/usr/bin/xdg-mime", {"default", "quentaapp.desktop", "x-scheme-handler/quentaapp"}},
        [](const std::string& bundlePath) {
            return ToolRun{"/usr/bin/update-desktop-database", {bundlePath}};
        },
        // It writes the folder's scheme-handler cache (mimeinfo.cache).
        true,
        // The desktops' default-applications settings (GNOME, KDE Plasma, Xfce, MATE, Cinnamon),
        // then the file managers' own preferences, then GNOME's settings application.
        {"gnome-default-apps-panel.desktop", "kcm_componentchooser.desktop",
         "xfce4-mime-settings.desktop", "mate-default-applications-properties.desktop",
         "cinnamon-settings-default.desktop", "caja-file-management-properties.desktop",
         "thunar-settings.desktop", "gnome-control-center.desktop"},
        [](const std::string& folder) {
            return ToolRun{"/usr/bin/mkdir", {"-p", "--", folder}};
        },
    };
    // Dolphin loads the plug-ins of Qt's kfileitemaction folder whenever it builds a context
    // menu: the plug-in is linked there like the modules above, and there is nothing to restart.
    const std::string dolphinFolder = QUENTA_DOLPHIN_EXTENSION_DIR;
    if (!dolphinFolder.empty()) {
        FileManagerSteps dolphin =
            linkedModule(root + "/usr/bin/dolphin", QUENTA_DOLPHIN_MODULE_NAME,
                         root + dolphinFolder, "Dolphin", "quenta-dolphin");
        dolphin.restart = {};
        table.fileManagers.push_back(std::move(dolphin));
    }
    return table;
}

const InstallerTable& platformInstallerTable() {
    static const InstallerTable table = linuxInstallerTable();
    return table;
}

}  // namespace quenta
