// quentaapp: the main application. Given request URLs it handles each in order, as when the file
// manager's extension delivers them. Without a display it then exits: alerts go to standard error
// and the items that would be shown in the file manager are printed on standard output. With a
// display it loads its desktop shell module (GTK) and runs as the one resident instance of the
// user, or hands its URLs to that instance; GTK is never loaded by a run without a display.
#include "adapters/linux/gio/app_instance_gio.hpp"
#include "adapters/linux/gio/workspace_gio.hpp"
#include "adapters/linux/posix/child_process.hpp"
#include "adapters/linux/posix/console_alerts.hpp"
#include "adapters/linux/posix/console_progress.hpp"
#include "adapters/linux/posix/console_workspace.hpp"
#include "adapters/linux/posix/file_system_posix.hpp"
#include "adapters/linux/posix/gettext_localizer.hpp"
#include "adapters/linux/posix/install_layout.hpp"
#include "adapters/linux/posix/pasteboard_store.hpp"
#include "adapters/linux/posix/random_uuid_source.hpp"
#include "adapters/linux/posix/stop_signals.hpp"
#include "adapters/linux/posix/system_clock.hpp"
#include "core/requests/quenta_creator.hpp"
#include "core/shared/activity_log.hpp"
#include "core/shared/request_url.hpp"
#include "core/shared/utf8.hpp"
#include "hosts/quentaapp_shell.hpp"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#ifndef QUENTA_VERSION
#define QUENTA_VERSION "0"
#endif

namespace {

constexpr std::string_view kUsage =
    "Usage: quentaapp [--help] [--version] [--stdin] [--null] [--from-scheme-handler] [--] "
    "[URL...]\n"
    "\n"
    "Handles each quentaapp:// request URL in order: those given as arguments, then with\n"
    "--stdin those read from standard input, one a line. The extension's hosts hand a request\n"
    "longer than 64 KiB over that way, as one argument holds at most 128 KiB.\n"
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
    "Without a display (no DISPLAY, no WAYLAND_DISPLAY) it then exits: each alert is written to\n"
    "standard error and each item that would be shown in the file manager is printed on standard\n"
    "output, one a line (with --null each ends with a NUL byte instead, unescaped). With a display "
    "one instance per user stays resident: the first start keeps running\n"
    "(started without URLs it shows the installer window), later starts hand their URLs to it\n"
    "and exit at once, and a later start without URLs shows the installer window again. Alerts\n"
    "are dialogs there, shown one after another. Every request is recorded in\n"
    "$XDG_STATE_HOME/QuentaApp.log (default ~/.local/state/QuentaApp.log) when that folder "
    "exists.\n"
    "\n"
    "A request from outside (the desktop's handler of the quentaapp scheme: a web page, xdg-open,\n"
    "another program) is done only once the person has seen in a dialog what is asked and\n"
    "answered yes; Cancel, the default, and Escape do nothing. Without a display such a request\n"
    "is refused with an alert. Requests given by the file manager's extension are done at once.\n"
    "\n"
    "In the log, on standard error and on standard output, control characters, bidirectional\n"
    "controls and bytes that are not UTF-8 in a name or URL are written escaped: \\x0a for a\n"
    "line feed, \\u202e for U+202E, \\xff for a stray byte.\n"
    "\n"
    "Exit status: 0 when every request succeeded (with a display: when the resident instance\n"
    "took the URLs), 1 when at least one alert was shown, 2 for a usage error, 128 + the\n"
    "signal's number when SIGTERM or SIGINT stopped a run without a display: the item in hand\n"
    "is finished, the rest is left where it was, and no request after it is handled.\n"
    "\n"
    "Options:\n"
    "  --help      show this help and exit\n"
    "  --version   show the version and exit\n"
    "  --stdin     read further URLs from standard input until its end, one a line\n"
    "  --null      end each item printed on standard output with a NUL byte, not a line feed\n"
    "  --from-scheme-handler\n"
    "              the URLs are from outside: ask before doing them (the desktop entry's\n"
    "              command)\n";

// The application's ID on the session bus, the same as the shell's.
constexpr const char* kApplicationId = "com.local.QuentaApp";

bool hasDisplay() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && x11[0] != '\0') || (wayland != nullptr && wayland[0] != '\0');
}

struct Arguments {
    std::vector<std::string> urls;
    bool help = false;
    bool version = false;
    bool fromStandardInput = false;
    bool nulSeparated = false;
    quenta::RequestOrigin origin = quenta::RequestOrigin::host;
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
        } else if (!optionsEnded && argument == "--stdin") {
            arguments.fromStandardInput = true;
        } else if (!optionsEnded && argument == "--null") {
            arguments.nulSeparated = true;
        } else if (!optionsEnded && argument == quenta::kOutsideRequestOption) {
            arguments.origin = quenta::RequestOrigin::outside;
        } else if (quenta::urlScheme(argument)) {
            arguments.urls.emplace_back(argument);
        } else if (!optionsEnded && argument.substr(0, 1) == "-") {
            arguments.error = "unknown option '" + quenta::escapingForOutput(argument) + "'";
            return arguments;
        } else {
            arguments.error = "'" + quenta::escapingForOutput(argument) + "' is not a URL";
            return arguments;
        }
    }
    return arguments;
}

// Appends the URLs on standard input, one a line (empty lines are skipped), to `urls`; the
// error's text when the input cannot be read or a line is not a URL.
std::string readStandardInputURLs(std::vector<std::string>& urls) {
    std::string text;
    char buffer[65536];
    while (true) {
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return std::string("standard input cannot be read (") + std::strerror(errno) + ")";
        }
        if (got == 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        const std::string_view line = std::string_view(text).substr(start, end - start);
        if (!line.empty()) {
            if (!quenta::urlScheme(line)) {
                return "a line of standard input is not a URL";
            }
            urls.emplace_back(line);
        }
        start = end + 1;
    }
    return {};
}

// Handles the URLs in this process and returns the exit status: without a display, or when the
// desktop shell cannot be loaded or cannot open the display.
int runHeadless(const Arguments& arguments, bool useDesktop) {
    quenta::linux_platform::PosixFileSystem fileSystem;
    quenta::linux_platform::SystemClock clock;
    quenta::linux_platform::RandomUuidSource uuids;
    const quenta::linux_platform::GettextLocalizer localizer(
        quenta::linux_platform::localeDirectory());
    quenta::linux_platform::ConsoleAlerts alerts(stderr);
    quenta::ActivityLog log(fileSystem, clock, std::string(quenta::QuentaCreator::kLogFileName));

    std::unique_ptr<quenta::Workspace> workspace;
    quenta::linux_platform::GioWorkspace* desktopWorkspace = nullptr;
    if (useDesktop) {
        auto gio = std::make_unique<quenta::linux_platform::GioWorkspace>();
        desktopWorkspace = gio.get();
        workspace = std::move(gio);
    } else {
        workspace = std::make_unique<quenta::linux_platform::ConsoleWorkspace>(
            stdout, arguments.nulSeparated);
    }

    quenta::linux_platform::PasteboardStore pasteboard;
    quenta::linux_platform::ConsoleProgress progress(stderr, localizer);
    const quenta::linux_platform::StopSignals stop;
    quenta::QuentaCreator creator({fileSystem, alerts, *workspace, uuids, log, pasteboard,
                                   &progress, &clock, localizer, &stop});
    // A paste that an earlier run left part-way is ended before any request.
    creator.finishInterruptedMoves();
    const std::vector<std::string>& urls = arguments.urls;
    std::size_t handled = 0;
    for (; handled < urls.size() && !stop.stopRequested(); ++handled) {
        creator.handle(urls[handled], arguments.origin);
    }
    if (const int stopSignal = quenta::linux_platform::StopSignals::signalReceived();
        stopSignal != 0) {
        const std::string what = std::string("stopped by SIG") + sigabbrev_np(stopSignal) + ", " +
                                 std::to_string(urls.size() - handled) +
                                 " further requests not handled";
        log.write(what);
        std::fprintf(stderr, "quentaapp: %s\n", what.c_str());
        return 128 + stopSignal;
    }
    if (desktopWorkspace != nullptr) {
        // No main loop runs here: the reveals asked for are delivered before the process ends.
        desktopWorkspace->finishReveals(std::chrono::seconds(15));
    }
    return alerts.shownCount() > 0 ? 1 : 0;
}

// The shell module's entry point, loading the module (and GTK) on first use; null, with the reason
// on standard error, when it cannot be loaded.
quenta::ShellMain loadShell() {
    const std::string modulePath = quenta::linux_platform::shellModulePath();
    void* module = ::dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    void* entry = module != nullptr ? ::dlsym(module, quenta::kShellMainSymbol) : nullptr;
    if (entry == nullptr) {
        const char* reason = ::dlerror();
        std::fprintf(stderr,
                     "quentaapp: the desktop shell %s cannot be loaded (%s); handling the "
                     "requests without it\n",
                     modulePath.c_str(), reason != nullptr ? reason : "no entry point");
        return nullptr;
    }
    quenta::ShellMain shellMain = nullptr;
    static_assert(sizeof(shellMain) == sizeof(entry));
    std::memcpy(&shellMain, &entry, sizeof(entry));
    return shellMain;
}

// Hands the URLs to the resident instance, or becomes it; the exit status.
int runDesktop(const Arguments& arguments, int takenDescriptor) {
    // A later start goes straight to the resident instance, without loading the shell.
    // Without one (or without a bus to ask) this process becomes the resident instance.
    // The outside option goes along, so the resident instance asks before doing them.
    std::vector<std::string> words;
    if (arguments.origin == quenta::RequestOrigin::outside) {
        words.emplace_back(quenta::kOutsideRequestOption);
    }
    words.insert(words.end(), arguments.urls.begin(), arguments.urls.end());
    if (const auto handedOver =
            quenta::linux_platform::handToRunningInstance(kApplicationId, words);
        handedOver.ok()) {
        return handedOver.value();
    }
    const quenta::ShellMain shellMain = loadShell();
    if (shellMain == nullptr) {
        return runHeadless(arguments, true);
    }
    const int status =
        shellMain({arguments.urls, arguments.origin, quenta::linux_platform::builtInPlugInsPath(),
                   quenta::linux_platform::desktopEntriesPath(),
                   quenta::linux_platform::httpClientModulePath(),
                   quenta::linux_platform::localeDirectory(), takenDescriptor});
    if (status != quenta::kShellDisplayUnavailable) {
        return status;
    }
    // The alerts and the shown items go where the caller reads them, as in any run without a
    // display.
    return runHeadless(arguments, false);
}

// Runs the desktop in a child process and returns once the URLs are taken: as soon as the child
// became the resident instance and received them (0), or when the child handed them to the
// resident instance, or handled them itself, and exited (its status). So whoever started
// quentaapp with a request waits for the request to be taken, never for the resident instance to
// end. The fork comes before anything starts a thread (GIO's bus connection does).
int runDesktopDetached(const Arguments& arguments) {
    int taken[2];
    if (::pipe2(taken, O_CLOEXEC) != 0) {
        return runDesktop(arguments, -1);
    }
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(taken[0]);
        ::close(taken[1]);
        return runDesktop(arguments, -1);
    }
    if (child == 0) {
        ::close(taken[0]);
        std::exit(runDesktop(arguments, taken[1]));
    }
    ::close(taken[1]);
    char byte = 0;
    ssize_t got = 0;
    do {
        got = ::read(taken[0], &byte, 1);
    } while (got < 0 && errno == EINTR);
    ::close(taken[0]);
    if (got == 1) {
        return 0;
    }
    const std::optional<int> status = quenta::linux_platform::waitForChild(child);
    return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : 1;
}

}  // namespace

int main(int argc, char** argv) {
    quenta::linux_platform::useLocaleForMessages();
    // A reader that went away (a closed standard output) never stops the requests.
    (void)::signal(SIGPIPE, SIG_IGN);
    Arguments arguments = parseArguments(argc, argv);
    if (arguments.error.empty() && arguments.fromStandardInput && !arguments.help &&
        !arguments.version) {
        arguments.error = readStandardInputURLs(arguments.urls);
    }
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

    if (!hasDisplay()) {
        return runHeadless(arguments, false);
    }
    if (arguments.urls.empty()) {
        return runDesktop(arguments, -1);
    }
    return runDesktopDetached(arguments);
}
