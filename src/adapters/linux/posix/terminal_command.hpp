#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quenta::linux_platform {

// The command lines that open a new terminal window in `folder` running `shell` as a login shell,
// best first, each program an absolute path found in `searchPath` (a PATH value; see
// findProgram) and each at most once: xdg-terminal-exec, the desktop's default terminal where
// it is installed; then the terminals of the desktops that `currentDesktop` (the value of
// XDG_CURRENT_DESKTOP, names separated by colons, any case) lists, in its order; then
// x-terminal-emulator, the Debian alternative; then the common terminals. A terminal that takes
// a folder option is given one; every command is also meant to be started with `folder` as its
// working directory, which is how the others learn it. Empty when no terminal is installed.
std::vector<std::vector<std::string>> terminalCommands(const std::string& folder,
                                                       const std::string& shell,
                                                       std::string_view currentDesktop,
                                                       std::string_view searchPath);

// What terminalCommands looks for, in its order: for a message that says what was looked for.
std::string terminalNames();

// The user's login shell: the account's shell in the password database, else $SHELL, else
// /bin/sh; only an absolute path to an executable file counts.
std::string loginShell();

}  // namespace quenta::linux_platform
