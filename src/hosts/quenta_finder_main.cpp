// quenta-finder: a command-line host that plays the file manager for the extension. It loads the
// extension once, reports the situation given on the command line (targeted folder, selection) and
// prints the menu or the toolbar button, or runs the command the user picked.
#include "adapters/linux/curl/lazy_http_client.hpp"
#include "adapters/linux/gio/main_queue_glib.hpp"
#include "adapters/linux/posix/defaults_json_file.hpp"
#include "adapters/linux/posix/desktop_folder_query.hpp"
#include "adapters/linux/posix/file_system_posix.hpp"
#include "adapters/linux/posix/freedesktop_icons.hpp"
#include "adapters/linux/posix/gettext_localizer.hpp"
#include "adapters/linux/posix/install_layout.hpp"
#include "adapters/linux/posix/main_app_launcher.hpp"
#include "adapters/linux/posix/pasteboard_store.hpp"
#include "adapters/linux/posix/project_bundle.hpp"
#include "adapters/linux/posix/syslog_system_log.hpp"
#include "adapters/linux/posix/system_clock.hpp"
#include "core/extension/finder_sync.hpp"
#include "core/shared/file_paths.hpp"
#include "core/shared/utf8.hpp"

#include <glib.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kUsage =
    "Usage: quenta-finder [SITUATION] menu [--kind KIND]\n"
    "       quenta-finder [SITUATION] toolbar\n"
    "       quenta-finder [SITUATION] invoke SELECTOR [-- PATH...]\n"
    "\n"
    "Plays the file manager for the Quenta extension: the extension is loaded once, told the\n"
    "situation, and asked for its menu or toolbar button, or told that the user picked an item.\n"
    "\n"
    "Situation:\n"
    "  --targeted PATH     the folder (or file) the menu is for\n"
    "  --selected PATH     a selected item; repeat once per item, in order\n"
    "  --empty-selection   the file manager reports an empty selection list\n"
    "                      (without --selected or --empty-selection it reports no list at all)\n"
    "\n"
    "Commands:\n"
    "  menu [--kind KIND]  print the menu as an indented tree: two blanks per level, the title,\n"
    "                      '  -> SELECTOR' for an item with an action, ' (disabled)' for a\n"
    "                      disabled item, '--' for a separator. KIND is one of contextual,\n"
    "                      items, sidebar, toolbar; every kind gets the same menu.\n"
    "  toolbar             print the toolbar button: name, tool tip and icon\n"
    "  invoke SELECTOR     run the menu item with that selector, as if the user picked it;\n"
    "                      a disabled or absent item is refused. Waits (at most 10 s) until a\n"
    "                      request sent to quentaapp has been taken. The paths after '--' are\n"
    "                      selected items too, after those of --selected, as the action files\n"
    "                      of file managers pass a selection ('--' alone: an empty selection).\n"
    "                      A request longer than 64 KiB reaches quentaapp on its standard input\n"
    "                      (quentaapp --stdin).\n"
    "\n"
    "Loading the extension starts an update check when one is due; the host waits for it to\n"
    "end (at most 20 s) before it exits.\n"
    "\n"
    "The extension's log is $XDG_STATE_HOME/QuentaFinderExtension.log (default\n"
    "~/.local/state/QuentaFinderExtension.log), copied to the system log.\n"
    "\n"
    "Exit status: 0 on success, 1 when the picked item is refused, a request could not be sent\n"
    "to quentaapp or was not taken within 10 s, or the pasteboard refused a cut or a copied\n"
    "path, 2 for a usage error.\n";

// The file manager's answers, as given on the command line.
class ArgumentsController : public quenta::FileManagerController {
  public:
    [[nodiscard]] std::optional<std::string> targetedURL() const override { return targeted; }
    [[nodiscard]] std::optional<std::vector<std::string>> selectedItemURLs() const override {
        return selected;
    }
    void setDirectoryURLs(const std::vector<std::string>& folders) override { observed = folders; }

    std::optional<std::string> targeted;
    std::optional<std::vector<std::string>> selected;
    std::vector<std::string> observed;
};

// Counts the requests that have not been answered yet, so the host knows when the update check it
// started has ended.
class CountingHttpClient : public quenta::HttpClient {
  public:
    explicit CountingHttpClient(quenta::HttpClient& inner) : inner_(inner) {}

    void get(const std::string& url, std::chrono::milliseconds timeout,
             Completion completion) override {
        ++pending_;
        inner_.get(url, timeout,
                   [this, done = std::move(completion)](quenta::Result<quenta::HttpResponse> r) {
                       --pending_;
                       done(std::move(r));
                   });
    }
    [[nodiscard]] int pending() const { return pending_; }

  private:
    quenta::HttpClient& inner_;
    int pending_ = 0;  // main thread only: completions arrive on the main queue
};

// Counts the requests handed to quentaapp that have not been answered yet, and those that could
// not be sent, so the host knows when it may exit and with which status.
class CountingLauncher : public quenta::ApplicationLauncher {
  public:
    explicit CountingLauncher(quenta::ApplicationLauncher& inner) : inner_(inner) {}

    void openWithMainApplication(const std::string& url, Completion completion) override {
        ++pending_;
        inner_.openWithMainApplication(
            url, [this, done = std::move(completion)](const quenta::Status& sent) {
                --pending_;
                if (!sent) {
                    lastFailure_ = sent.error().description;
                    ++failed_;
                }
                done(sent);
            });
    }
    void openInBrowser(const std::string& url) override { inner_.openInBrowser(url); }

    [[nodiscard]] int pending() const { return pending_; }
    [[nodiscard]] int failed() const { return failed_; }
    [[nodiscard]] const std::string& lastFailure() const { return lastFailure_; }

  private:
    quenta::ApplicationLauncher& inner_;
    // Main thread only: completions arrive on the main queue.
    int pending_ = 0;
    int failed_ = 0;
    std::string lastFailure_;
};

// Runs the main loop until `done` says so, at most `bound`.
template <class Done>
void runMainLoopUntil(Done done, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        g_main_context_iteration(nullptr, FALSE);
        if (!done()) {
            g_usleep(1000);
        }
    }
}

// The arguments quoted in `message` are written escaped, like every name on a terminal.
int usageError(const std::string& message) {
    std::fprintf(stderr, "quenta-finder: %s\nTry 'quenta-finder --help' for more information.\n",
                 quenta::escapingForOutput(message).c_str());
    return 2;
}

}  // namespace

int run(quenta::FinderSync& finder, const std::string& command, const std::string& selector,
        const CountingLauncher& launcher);

int main(int argc, char** argv) {
    quenta::linux_platform::useLocaleForMessages();
    ArgumentsController controller;
    std::string command;
    std::string selector;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help") {
            std::fwrite(kUsage.data(), 1, kUsage.size(), stdout);
            return 0;
        }
        if ((argument == "--targeted" || argument == "--selected") && i + 1 < argc) {
            std::string path = quenta::trimmingTrailingSlashes(argv[++i]);
            if (path.empty() || path[0] != '/') {
                return usageError("'" + path + "' is not an absolute path");
            }
            if (argument == "--targeted") {
                controller.targeted = std::move(path);
            } else {
                if (!controller.selected) {
                    controller.selected.emplace();
                }
                controller.selected->push_back(std::move(path));
            }
        } else if (argument == "--empty-selection") {
            if (!controller.selected) {
                controller.selected.emplace();
            }
        } else if (argument == "menu" || argument == "toolbar" || argument == "invoke") {
            command = argument;
            ++i;
            break;
        } else {
            return usageError("unexpected argument '" + std::string(argument) + "'");
        }
    }
    if (command.empty()) {
        return usageError("no command given (menu, toolbar or invoke)");
    }
    if (command == "menu" && i < argc) {
        const std::string_view option = argv[i];
        if (option != "--kind" || i + 1 >= argc) {
            return usageError("unexpected argument '" + std::string(option) + "'");
        }
        const std::string_view kind = argv[i + 1];
        if (kind != "contextual" && kind != "items" && kind != "sidebar" && kind != "toolbar") {
            return usageError("unknown menu kind '" + std::string(kind) + "'");
        }
        i += 2;
    } else if (command == "invoke") {
        if (i >= argc) {
            return usageError("invoke needs a SELECTOR");
        }
        selector = argv[i++];
        if (i < argc && std::string_view(argv[i]) == "--") {
            if (!controller.selected) {
                controller.selected.emplace();
            }
            for (++i; i < argc; ++i) {
                std::string path = quenta::trimmingTrailingSlashes(argv[i]);
                if (path.empty() || path[0] != '/') {
                    return usageError("'" + path + "' is not an absolute path");
                }
                controller.selected->push_back(std::move(path));
            }
        }
    }
    if (i < argc) {
        return usageError("unexpected argument '" + std::string(argv[i]) + "'");
    }

    quenta::linux_platform::PosixFileSystem fileSystem;
    quenta::linux_platform::SystemClock clock;
    quenta::linux_platform::SyslogSystemLog systemLog;
    quenta::ActivityLog log(fileSystem, clock, std::string(quenta::FinderSync::kLogFileName),
                            &systemLog, std::string(quenta::FinderSync::kSystemLogPrefix));
    quenta::linux_platform::DesktopFolderQuery frontWindow;
    quenta::linux_platform::PasteboardStore pasteboard;
    quenta::linux_platform::MainQueueGlib mainQueue;
    quenta::linux_platform::MainAppLauncher mainAppLauncher(
        quenta::linux_platform::mainApplicationPath(), mainQueue);
    CountingLauncher launcher(mainAppLauncher);
    quenta::linux_platform::FreedesktopIcons icons;
    quenta::linux_platform::DefaultsJsonFile defaults(
        quenta::linux_platform::DefaultsJsonFile::pathForDomain("QuentaFinderExtension"));
    quenta::linux_platform::LazyHttpClient network(mainQueue,
                                                   quenta::linux_platform::httpClientModulePath());
    CountingHttpClient http(network);
    quenta::linux_platform::ProjectBundle bundle;
    quenta::UpdateChecker updateChecker(defaults, http, mainQueue, clock, bundle);
    const quenta::linux_platform::GettextLocalizer localizer(
        quenta::linux_platform::localeDirectory());
    quenta::FinderSync finder(
        {fileSystem, controller, frontWindow, pasteboard, launcher, icons, log, localizer},
        updateChecker);
    const int status = run(finder, command, selector, launcher);
    runMainLoopUntil([&http] { return http.pending() == 0; }, std::chrono::seconds(20));
    return status;
}

int run(quenta::FinderSync& finder, const std::string& command, const std::string& selector,
        const CountingLauncher& launcher) {
    if (command == "toolbar") {
        const auto image = finder.toolbarItemImage();
        std::printf("name: %s\ntool tip: %s\nicon: %s\n", finder.toolbarItemName().c_str(),
                    finder.toolbarItemToolTip().c_str(), image.iconName.c_str());
        return 0;
    }
    const quenta::Menu menu = finder.menu();
    if (command == "menu") {
        const std::string text = quenta::printMenu(menu);
        std::fwrite(text.data(), 1, text.size(), stdout);
        return 0;
    }
    const quenta::MenuItem* item = quenta::findMenuItem(menu, selector);
    if (item == nullptr) {
        std::fprintf(stderr, "quenta-finder: the menu has no item '%s'\n",
                     quenta::escapingForOutput(selector).c_str());
        return 1;
    }
    if (!item->isEnabled()) {
        std::fprintf(stderr, "quenta-finder: '%s' (%s) is disabled here\n", item->title.c_str(),
                     quenta::escapingForOutput(selector).c_str());
        return 1;
    }
    if (const quenta::Status performed = finder.perform(selector); !performed) {
        std::fprintf(stderr, "quenta-finder: %s\n",
                     quenta::escapingForOutput(performed.error().description).c_str());
        return 1;
    }
    runMainLoopUntil([&launcher] { return launcher.pending() == 0; }, std::chrono::seconds(10));
    if (launcher.pending() > 0) {
        std::fprintf(stderr, "quenta-finder: quentaapp did not take the request within 10 s\n");
        return 1;
    }
    if (launcher.failed() > 0) {
        std::fprintf(stderr, "quenta-finder: the request could not be sent to quentaapp: %s\n",
                     launcher.lastFailure().c_str());
        return 1;
    }
    return 0;
}
