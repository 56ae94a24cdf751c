#include "core/app/installer_table.hpp"

#include <string>

#if !defined(QUENTA_NAUTILUS_EXTENSION_DIR) || !defined(QUENTA_NAUTILUS_MODULE_NAME) || \
    !defined(QUENTA_NEMO_EXTENSION_DIR) || !defined(QUENTA_NEMO_MODULE_NAME) ||         \
    !defined(QUENTA_CAJA_EXTENSION_DIR) || !defined(QUENTA_CAJA_MODULE_NAME) ||         \
    !defined(QUENTA_THUNAR_EXTENSION_DIR) || !defined(QUENTA_THUNAR_MODULE_NAME)
#error "each file manager's extension folder and module file must be named"
#endif

namespace quenta {
namespace {

// A file manager that loads every module of its one extension folder (fixed when it was built;
// there is no per-user folder): registering links the module shipped in the plug-ins folder
// there (unless the module there already is that one), and `EXECUTABLE -q` ends the running file
// manager, which loads its modules when it starts again on its next use.
FileManagerSteps linkedModule(std::string executable, const std::string& moduleName,
                              const std::string& extensionFolder) {
    const std::string installedPath = extensionFolder + "/" + moduleName;
    return {executable,
            moduleName,
            [installedPath](const std::string& extensionPath) {
                return ToolRun{"/usr/bin/ln", {"-sf", extensionPath, installedPath}};
            },
            {executable, {"-q"}},
            installedPath};
}

}  // namespace

// The supported file managers, GNOME Files first. The extension's requests reach the application
// through the quentaapp scheme, so enabling makes the application's desktop entry the scheme's
// handler, and the application "bundle" is registered again by refreshing the desktop database of
// the folder that holds its entry.
InstallerTable linuxInstallerTable() {
    return {
        {
            linkedModule("/usr/bin/nautilus", QUENTA_NAUTILUS_MODULE_NAME,
                         QUENTA_NAUTILUS_EXTENSION_DIR),
            linkedModule("/usr/bin/nemo", QUENTA_NEMO_MODULE_NAME, QUENTA_NEMO_EXTENSION_DIR),
            linkedModule("/usr/bin/caja", QUENTA_CAJA_MODULE_NAME, QUENTA_CAJA_EXTENSION_DIR),
            linkedModule("/usr/bin/thunar", QUENTA_THUNAR_MODULE_NAME, QUENTA_THUNAR_EXTENSION_DIR),
        },
        {"/usr/bin/xdg-mime", {"default", "quentaapp.desktop", "x-scheme-handler/quentaapp"}},
        [](const std::string& bundlePath) {
            return ToolRun{"/usr/bin/update-desktop-database", {bundlePath}};
        },
        // It writes the folder's scheme-handler cache (mimeinfo.cache).
        true,
        // GNOME's default-applications settings, then the settings application itself.
        "gnome-default-apps-panel.desktop",
        "gnome-control-center.desktop",
    };
}

const InstallerTable& platformInstallerTable() {
    static const InstallerTable table = linuxInstallerTable();
    return table;
}

}  // namespace quenta
