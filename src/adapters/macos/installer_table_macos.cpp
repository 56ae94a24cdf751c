#include "core/app/installer_table.hpp"

namespace quenta {

InstallerTable macosInstallerTable() {
    constexpr const char* pluginKit = "/usr/bin/pluginkit";
    return {
        {{"",
          "QuentaFinderExtension.appex",
          [](const std::string& extensionPath) {
              return ToolRun{pluginKit, {"-a", extensionPath}};
          },
          {"/usr/bin/killall", {"Finder"}},
          "",
          "Finder",
          ""}},
        {pluginKit, {"-e", "use", "-i", "com.local.QuentaApp.FinderExtension"}},
        [](const std::string& bundlePath) {
            return ToolRun{
                "/System/Library/Frameworks/CoreServices.framework/Frameworks/"
                "LaunchServices.framework/Support/lsregister",
                {"-f", bundlePath}};
        },
        false,
        {"x-apple.systempreferences:com.apple.ExtensionsPreferences",
         "x-apple.systempreferences:com.apple.LoginItems-Settings.extension"},
        {},
    };
}

}  // namespace quenta
