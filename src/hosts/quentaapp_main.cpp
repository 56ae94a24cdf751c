// quentaapp: the main application. Given request URLs it handles each in order, as when the file
// manager's extension delivers them, then exits. Without a display, alerts go to standard error and
// the items that would be shown in the file manager are printed on standard output.
#include "platform/linux/console_alerts.hpp"
#include "platform/linux/console_workspace.hpp"
#include "platform/linux/file_system_posix.hpp"
#include "platform/linux/pasteboard_store.hpp"
#include "platform/linux/random_uuid_source.hpp"
#include "platform/linux/system_clock.hpp"
#include "platform/linux/workspace_gio.hpp"
#include "requests/quenta_creator.hpp"
#include "shared/activity_log.hpp"
#include "shared/request_url.hpp"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#ifndef QUENTA_VERSION
#define QUENTA_VERSION "0"
#endif

namespace {

constexpr std::string_view kUsage =
    "Usage: quentaapp [--help] [--version] [--] URL...\n"
    "\n"
    "Handles each quentaapp:// request URL in order, then exits.\n"
    "\n"
    "Requests:\n"
    "  quentaapp://create?type=KIND&path=FOLDER   a new file of KIND under a free name in FOLDER\n"
    "  quentaapp://folder?path=FOLDER             a new blank folder in FOLDER\n"
    "  quentaapp://pasteCut?path=FOLDER           move the cut items into FOLDER\n"
    "  quentaapp://trash?path=ITEM&path=ITEM...   move the items to the Trash\n"
    "  quentaapp://terminal?path=FOLDER           open a terminal in FOLDER\n"
    "\n"
    "KIND is one of: plainText markdown richText csv json html css word pdf powerpoint\n"
    "excel javascript python swift shell. Values are percent-encoded (a blank is %20).\n"
    "\n"
    "Without a display, each alert is written to standard error and each item that would be\n"
    "shown in the file manager is printed on standard output. Every request is recorded in\n"
    "$XDG_STATE_HOME/QuentaApp.log (default ~/.local/state/QuentaApp.log) when that folder "
    "exists.\n"
    "\n"
    "Exit status: 0 when every request succeeded, 1 when at least one alert was shown,\n"
    "2 for a usage error.\n"
    "\n"
    "Options:\n"
    "  --help      show this help and exit\n"
    "  --version   show the version and exit\n";

bool hasDisplay() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && x11[0] != '\0') || (wayland != nullptr && wayland[0] != '\0');
}

struct Arguments {
    std::vector<std::string> urls;
    bool help = false;
    bool version = false;
    std::string error;
};

Arguments parseArguments(int argc, char** argv) {
    Arguments arguments;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && argument == "--help") {
            arguments.help = true;
        } else if (!optionsEnded && argument == "--version") {
            arguments.version = true;
        } else if (quenta::urlScheme(argument)) {
            arguments.urls.emplace_back(argument);
        } else if (!optionsEnded && argument.substr(0, 1) == "-") {
            arguments.error = "unknown option '" + std::string(argument) + "'";
            return arguments;
        } else {
            arguments.error = "'" + std::string(argument) + "' is not a URL";
            return arguments;
        }
    }
    return arguments;
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    const Arguments arguments = parseArguments(argc, argv);
    if (!arguments.error.empty()) {
        std::fprintf(stderr, "quentaapp: %s\nTry 'quentaapp --help' for more information.\n",
                     arguments.error.c_str());
        return 2;
    }
    if (arguments.help) {
        std::fwrite(kUsage.data(), 1, kUsage.size(), stdout);
        return 0;
    }
    if (arguments.version) {
        std::printf("quentaapp %s\n", QUENTA_VERSION);
        return 0;
    }

    quenta::linux_platform::PosixFileSystem fileSystem;
    quenta::linux_platform::SystemClock clock;
    quenta::linux_platform::RandomUuidSource uuids;
    quenta::linux_platform::ConsoleAlerts alerts(stderr);
    quenta::ActivityLog log(fileSystem, clock, std::string(quenta::QuentaCreator::kLogFileName));

    std::unique_ptr<quenta::Workspace> workspace;
    if (hasDisplay()) {
        workspace = std::make_unique<quenta::linux_platform::GioWorkspace>();
    } else {
        workspace = std::make_unique<quenta::linux_platform::ConsoleWorkspace>(stdout);
    }

    quenta::linux_platform::PasteboardStore pasteboard;
    quenta::QuentaCreator creator({fileSystem, alerts, *workspace, uuids, log, pasteboard});
    for (const auto& url : arguments.urls) {
        creator.handle(url);
    }
    return alerts.shownCount() > 0 ? 1 : 0;
}
