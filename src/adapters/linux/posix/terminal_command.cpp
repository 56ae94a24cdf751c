#include "adapters/linux/posix/terminal_command.hpp"

#include "adapters/linux/posix/program_search.hpp"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>

namespace quenta::linux_platform {
namespace {

// How one terminal program is told the folder and the command it runs.
struct Terminal {
    std::string_view program;
    // Before the folder; ends in '=' where the folder joins it in one argument. Empty when the
    // terminal has no such option and takes its working directory.
    std::string_view folderOption;
    // Before the command and its arguments; empty where they simply follow.
    std::string_view commandOption;
};

constexpr Terminal kXdgTerminalExec{"xdg-terminal-exec", "", ""};
constexpr Terminal kGnomeTerminal{"gnome-terminal", "--working-directory=", "--"};
constexpr Terminal kGnomeConsole{"kgx", "--working-directory=", "--"};
constexpr Terminal kKonsole{"konsole", "--workdir", "-e"};
constexpr Terminal kXfceTerminal{"xfce4-terminal", "--working-directory=", "-x"};
constexpr Terminal kMateTerminal{"mate-terminal", "--working-directory=", "-x"};
constexpr Terminal kDebianAlternative{"x-terminal-emulator", "", "-e"};
constexpr Terminal kXterm{"xterm", "", "-e"};

constexpr std::array kCommonTerminals{kGnomeTerminal, kKonsole,      kGnomeConsole,
                                      kXfceTerminal,  kMateTerminal, kXterm};

// The terminals a desktop ships as its own, best first; none for a desktop we do not know.
std::vector<Terminal> desktopTerminals(std::string desktop) {
    std::transform(desktop.begin(), desktop.end(), desktop.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (desktop == "gnome" || desktop == "unity") {
        return {kGnomeTerminal, kGnomeConsole};
    }
    if (desktop == "x-cinnamon" || desktop == "cinnamon") {
        return {kGnomeTerminal};
    }
    if (desktop == "kde") {
        return {kKonsole};
    }
    if (desktop == "xfce") {
        return {kXfceTerminal};
    }
    if (desktop == "mate") {
        return {kMateTerminal};
    }
    return {};
}

bool isExecutableFile(const char* path) {
    struct stat status {};
    return path != nullptr && path[0] == '/' && ::stat(path, &status) == 0 &&
           S_ISREG(status.st_mode) && ::access(path, X_OK) == 0;
}

}  // namespace

std::vector<std::vector<std::string>> terminalCommands(const std::string& folder,
                                                       const std::string& shell,
                                                       std::string_view currentDesktop,
                                                       std::string_view searchPath) {
    std::vector<Terminal> order{kXdgTerminalExec};
    while (!currentDesktop.empty()) {
        const auto colon = currentDesktop.find(':');
        const auto terminals = desktopTerminals(std::string(currentDesktop.substr(0, colon)));
        order.insert(order.end(), terminals.begin(), terminals.end());
        currentDesktop =
            colon == std::string_view::npos ? std::string_view() : currentDesktop.substr(colon + 1);
    }
    order.push_back(kDebianAlternative);
    order.insert(order.end(), kCommonTerminals.begin(), kCommonTerminals.end());

    std::vector<std::vector<std::string>> commands;
    std::vector<std::string_view> taken;
    for (const Terminal& terminal : order) {
        if (std::find(taken.begin(), taken.end(), terminal.program) != taken.end()) {
            continue;
        }
        taken.push_back(terminal.program);
        auto program = findProgram(terminal.program, searchPath);
        if (!program) {
            continue;
        }
        std::vector<std::string> command{std::move(*program)};
        if (terminal.folderOption.ends_with('=')) {
            command.push_back(std::string(terminal.folderOption) + folder);
        } else if (!terminal.folderOption.empty()) {
            command.emplace_back(terminal.folderOption);
            command.push_back(folder);
        }
        if (!terminal.commandOption.empty()) {
            command.emplace_back(terminal.commandOption);
        }
        command.push_back(shell);
        command.emplace_back("-l");
        commands.push_back(std::move(command));
    }
    return commands;
}

std::string terminalNames() {
    std::string names = std::string(kXdgTerminalExec.program) + ", the desktop's own, " +
                        std::string(kDebianAlternative.program);
    for (const Terminal& terminal : kCommonTerminals) {
        names.append(", ").append(terminal.program);
    }
    return names;
}

std::string loginShell() {
    std::array<char, 4096> buffer{};
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && isExecutableFile(found->pw_shell)) {
        return found->pw_shell;
    }
    if (const char* shell = std::getenv("SHELL"); isExecutableFile(shell)) {
        return shell;
    }
    return "/bin/sh";
}

}  // namespace quenta::linux_platform
