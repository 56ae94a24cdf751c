#include "core/requests/quenta_creator.hpp"
#include "core/shared/file_paths.hpp"
#include "core/shared/utf8.hpp"

namespace quenta {
namespace {

constexpr unsigned kScriptMode = 0700;

// The path between single quotes for a POSIX shell: each single quote closes the quoting, is given
// escaped, and reopens it. Nothing else needs escaping inside single quotes.
std::string singleQuoted(std::string_view path) {
    std::string quoted = "'";
    for (const char c : path) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    quoted += "'";
    return quoted;
}

// The four lines of the script, with no line feed after the last: change to the folder or give up,
// remove the script file, and become an interactive login shell that keeps the window open.
std::string terminalScript(std::string_view folder) {
    return "#!/bin/zsh\n"
           "cd " +
           singleQuoted(folder) +
           " || exit 1\n"
           "rm -- \"$0\"\n"
           "exec /bin/zsh -l";
}

}  // namespace

void QuentaCreator::openTerminal(const std::string& folder) {
    writeLog("open terminal in " + folder);
    const std::string failedAlert =
        localized("打开终端失败。") + localized("\n\n目录：") + escapingForOutput(folder);

    // The script's "cd" would fail in the terminal, where nobody learns of it, and leave the
    // script behind: a folder that is not there is reported here, before anything is written.
    if (!ports_.fileSystem.isDirectory(folder)) {
        writeLog("open terminal failed: " +
                 std::string(ports_.fileSystem.itemExists(folder) ? kNotADirectory : kNoSuchItem));
        showAlert(failedAlert);
        return;
    }

    // A fresh name per request: two requests never share a script, and each script removes only
    // itself.
    const std::string script =
        appendingPathComponent(ports_.fileSystem.temporaryDirectory(),
                               "QuentaApp-" + ports_.uuids.makeUuidString() + ".command");

    Status done = ports_.fileSystem.writeFileAtomically(script, terminalScript(folder));
    if (done) {
        done = ports_.fileSystem.setPermissions(script, kScriptMode);
    }
    if (!done) {
        // A script already written stays: nothing else removes it, and it harms nothing.
        writeLog("open terminal failed: " + done.error().description);
        showAlert(failedAlert);
        return;
    }

    if (!ports_.workspace.openFile(script)) {
        writeLog("open terminal failed: NSWorkspace.open returned false");
        showAlert(failedAlert);
        return;
    }
    writeLog("terminal command opened at " + folder);
}

}  // namespace quenta
