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

// The platform's tools, identifiers and settings addresses behind the installer's commands. The
// installer decides what to run and what the outcome means; the table only names the tools.
struct InstallerTable {
    // The file manager's extension, relative to the application's built-in plug-ins folder.
    std::string extensionName;
    // Adds the extension at the given path to the file manager's extensions.
    std::function<ToolRun(const std::string& extensionPath)> registration;
    // Elects the extension for use; exit status 0 means it is enabled.
    ToolRun enabling;
    // Registers the application at the given bundle path with the desktop again.
    std::function<ToolRun(const std::string& bundlePath)> bundleRegistration;
    // Restarts the file manager, so that it loads the extension.
    ToolRun fileManagerRestart;
    // The extension settings, tried in this order until the workspace opens one.
    std::string firstSettingsAddress;
    std::string secondSettingsAddress;
};

// The table of the platform the application was built for (chosen by the build, one source file
// per platform).
const InstallerTable& platformInstallerTable();

// The tables of each platform, for tests and for the documentation of what each step runs.
InstallerTable macosInstallerTable();
InstallerTable linuxInstallerTable();

}  // namespace quenta
