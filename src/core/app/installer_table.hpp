#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quenta {

// One run of a system tool: the executable's absolute path and its arguments, in order.
struct ToolRun {
    std::string tool;
    std::vector<std::string> arguments;

    friend bool operator==(const ToolRun&, const ToolRun&) = default;
};

// One file manager the extension can be installed into: its module and the tools that register
// it and restart the file manager.
struct FileManagerSteps {
    // The file manager's executable: its steps apply when it exists (empty: always).
    std::string executable;
    // The file manager's extension, relative to the application's built-in plug-ins folder;
    // empty when the application was built without it (it is then never shipped).
    std::string extensionName;
    // Adds the extension at the given path to the file manager's extensions.
    std::function<ToolRun(const std::string& extensionPath)> registration;
    // Restarts the file manager, so that it loads the extension.
    ToolRun restart;
    // Where registering puts the extension (empty: the platform keeps its registrations
    // elsewhere). When what is there already is the shipped extension, as after installing the
    // packages, there is nothing to register and no system folder is written.
    std::string installedPath;
    // The file manager's name and the package that ships its module, as results name them
    // (a package is named only where the platform has them).
    std::string name;
    std::string package;
};

// The platform's tools, identifiers and settings addresses behind the installer's commands. The
// installer decides what to run and what the outcome means; the table only names the tools.
struct InstallerTable {
    // The supported file managers, in order. The file-manager steps run for each one installed,
    // and for the first when none is (so that its failure is reported).
    std::vector<FileManagerSteps> fileManagers;
    // Elects the extension for use; exit status 0 means it is enabled.
    ToolRun enabling;
    // Registers the application at the given bundle path with the desktop again.
    std::function<ToolRun(const std::string& bundlePath)> bundleRegistration;
    // Whether that registration writes into the bundle path: then it is only tried by a user who
    // may write there (a packaged install keeps that registration current itself).
    bool bundleRegistrationWritesBundle = false;
    // The extension settings, tried in this order until the workspace opens one.
    std::vector<std::string> settingsAddresses;
    // Creates a missing folder for `installedPath`, with its missing parents (none: the platform
    // has no such folders).
    std::function<ToolRun(const std::string& folder)> folderCreation;
};

// The table of the platform the application was built for (chosen by the build, one source file
// per platform).
const InstallerTable& platformInstallerTable();

// The tables of each platform, for tests and for the documentation of what each step runs.
InstallerTable macosInstallerTable();
// `stagedRoot` (no trailing "/") is put before the file managers' executables and extension
// folders, for a staged install; the platform's table has none.
InstallerTable linuxInstallerTable(const std::string& stagedRoot = {});

}  // namespace quenta
