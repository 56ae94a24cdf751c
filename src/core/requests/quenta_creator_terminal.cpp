#include "core/requests/quenta_creator.hpp"
#include "core/shared/file_paths.hpp"
#include "core/shared/utf8.hpp"

namespace quenta {

void QuentaCreator::openTerminal(const std::string& folder) {
    writeLog("open terminal in " + folder);
    const std::string failedAlert =
        localized("打开终端失败。") + localized("\n\n目录：") + escapingForOutput(folder);

    // A terminal started in a folder that is not there falls back to some other folder, where
    // nobody learns of the mistake: it is reported here instead.
    if (!ports_.fileSystem.isDirectory(folder)) {
        writeLog("open terminal failed: " +
                 std::string(ports_.fileSystem.itemExists(folder) ? kNotADirectory : kNoSuchItem));
        showAlert(failedAlert);
        return;
    }

    if (const Status opened = ports_.workspace.openTerminal(folder); !opened) {
        writeLog("open terminal failed: " + opened.error().description);
        showAlert(failedAlert);
        return;
    }
    writeLog("terminal command opened at " + folder);
}

}  // namespace quenta
