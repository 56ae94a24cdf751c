#include "core/app/installer_table.hpp"

#ifndef QUENTA_FILES_EXTENSION_DIR
#error "QUENTA_FILES_EXTENSION_DIR must name the file manager's extension folder"
#endif
#ifndef QUENTA_FILES_MODULE_NAME
#error "QUENTA_FILES_MODULE_NAME must name the file manager module's file"
#endif

namespace quenta {

// GNOME Files loads every module of its one extension folder (fixed when it was built; there is
// no per-user folder), so registering links the module shipped in the plug-ins folder there. The
// extension's requests reach the application through the quentaapp scheme, so enabling makes the
// application's desktop entry the scheme's handler, and the application "bundle" is registered
// again by refreshing the desktop database of the folder that holds its entry.
InstallerTable linuxInstallerTable() {
    return {
        QUENTA_FILES_MODULE_NAME,
        [](const std::string& extensionPath) {
            return ToolRun{
                "/usr/bin/ln",
                {"-sf", extensionPath,
                 std::string(QUENTA_FILES_EXTENSION_DIR "/") + QUENTA_FILES_MODULE_NAME}};
        },
        {"/usr/bin/xdg-mime", {"default", "quentaapp.desktop", "x-scheme-handler/quentaapp"}},
        [](const std::string& bundlePath) {
            return ToolRun{"/usr/bin/update-desktop-database", {bundlePath}};
        },
        {"/usr/bin/nautilus", {"-q"}},
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
