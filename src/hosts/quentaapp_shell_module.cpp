// The desktop shell of quentaapp, a module loaded only when a display is present: a
// Gtk::Application with one instance per user over D-Bus. The first process stays resident and
// never quits by itself; later starts hand their command line to it and exit. URLs arrive as the
// raw command-line strings, so each reaches the request handler byte for byte.
#include "adapters/linux/curl/lazy_http_client.hpp"
#include "adapters/linux/gio/main_queue_glib.hpp"
#include "adapters/linux/gio/workspace_gio.hpp"
#include "adapters/linux/gtk/gtk_alerts.hpp"
#include "adapters/linux/gtk/gtk_app_shell.hpp"
#include "adapters/linux/gtk/gtk_installer_window.hpp"
#include "adapters/linux/gtk/gtk_progress_window.hpp"
#include "adapters/linux/posix/app_bundle.hpp"
#include "adapters/linux/posix/defaults_json_file.hpp"
#include "adapters/linux/posix/file_system_posix.hpp"
#include "adapters/linux/posix/freedesktop_icons.hpp"
#include "adapters/linux/posix/gettext_localizer.hpp"
#include "adapters/linux/posix/pasteboard_store.hpp"
#include "adapters/linux/posix/process_runner_posix.hpp"
#include "adapters/linux/posix/random_uuid_source.hpp"
#include "adapters/linux/posix/stop_signals.hpp"
#include "adapters/linux/posix/system_clock.hpp"
#include "core/app/app_delegate.hpp"
#include "core/app/content_view.hpp"
#include "core/requests/quenta_creator.hpp"
#include "core/shared/activity_log.hpp"
#include "core/shared/update_checker.hpp"
#include "hosts/quentaapp_shell.hpp"

#include <fcntl.h>
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <gtkmm/application.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace quenta {
namespace {

using namespace linux_platform;

// Everything the resident instance runs on, built at start-up of the primary process only.
struct Desktop {
    Desktop(Gtk::Application& application, const ShellLaunch& launch)
        : localizer(launch.localeDirectory),
          alerts(application),
          log(files, clock, std::string(QuentaCreator::kLogFileName)),
          progress(localizer),
          creator({files, alerts, workspace, uuids, log, pasteboard, &progress, &clock, localizer,
                   &stop}),
          defaults(DefaultsJsonFile::pathForDomain("QuentaApp")),
          http(mainQueue, launch.httpModulePath),
          bundle(launch.plugInsPath, launch.desktopEntriesPath),
          updates(defaults, http, mainQueue, clock, bundle),
          shell(application) {
        delegate = std::make_unique<AppDelegate>(
            mainQueue, shell,
            [this, &application]() -> std::unique_ptr<AppWindow> {
                auto view = std::make_unique<ContentView>(
                    ContentViewPorts{processes, files, workspace, alerts, bundle, mainQueue, shell,
                                     updates, localizer},
                    platformInstallerTable());
                return std::make_unique<GtkInstallerWindow>(application, std::move(view), icons);
            },
            [this](std::string_view url, RequestOrigin origin) {
                // Once asked to stop, the requests still queued are left; the loop ends next.
                if (stop.stopRequested()) {
                    ++requestsLeft;
                } else {
                    creator.handle(url, origin);
                }
            });
    }

    // SIGTERM and SIGINT: the request in hand finishes its item and undoes what must not stay,
    // the requests still queued are left, and the process ends with 128 + the signal.
    StopSignals stop;
    std::size_t requestsLeft = 0;
    GettextLocalizer localizer;
    PosixFileSystem files;
    SystemClock clock;
    RandomUuidSource uuids;
    GtkAlerts alerts;
    ActivityLog log;
    GioWorkspace workspace;
    PasteboardStore pasteboard;
    GtkProgressWindow progress;
    QuentaCreator creator;
    MainQueueGlib mainQueue;
    DefaultsJsonFile defaults;
    // libcurl is loaded with the HTTP client module on the first update check, never linked: the
    // application works without it.
    LazyHttpClient http;
    AppBundle bundle;
    UpdateChecker updates;
    PosixProcessRunner processes;
    GtkAppShell shell;
    FreedesktopIcons icons;
    std::unique_ptr<AppDelegate> delegate;
};

// Standard output and error that lead into a pipe or socket would keep the reader of the caller
// waiting for as long as the resident instance lives: those go to /dev/null. A terminal or a file
// is kept.
void detachStandardStreams() {
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null < 0) {
        return;
    }
    ::dup2(null, STDIN_FILENO);
    for (const int stream : {STDOUT_FILENO, STDERR_FILENO}) {
        struct stat status {};
        if (::fstat(stream, &status) == 0 &&
            (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode))) {
            ::dup2(null, stream);
        }
    }
    ::close(null);
}

// The process entry of the application: the application object, its delegate, its event loop.
class QuentaAppMain {
  public:
    static int main(const ShellLaunch& launch) {
        // A DISPLAY left over from an ended session (or a refused one) must not cost the
        // requests: the caller handles them without the desktop instead.
        // quentaapp's main has set the locale: the user's, with the C locale's numbers. GTK
        // would set all of it from the environment, numbers too.
        gtk_disable_setlocale();
        if (gtk_init_check() == FALSE) {
            return kShellDisplayUnavailable;
        }
        if (launch.takenDescriptor >= 0) {
            // Started in the background for a request: leave the caller's session and streams.
            ::setsid();
            detachStandardStreams();
        }
        auto application = Gtk::Application::create("com.local.QuentaApp",
                                                    Gio::Application::Flags::HANDLES_COMMAND_LINE);
        int takenDescriptor = launch.takenDescriptor;

        application->signal_startup().connect([&] {
            desktop() = std::make_unique<Desktop>(*application, launch);
            // The application keeps running with no window shown, and closing the installer
            // window only hides it.
            application->hold();
            desktop()->delegate->applicationDidFinishLaunching();
            // A paste that an earlier instance left part-way is ended before any request.
            desktop()->creator.finishInterruptedMoves();
            watchStopSignals(*application);
        });

        application->signal_command_line().connect(
            [&](const Glib::RefPtr<Gio::ApplicationCommandLine>& commandLine) -> int {
                int argc = 0;
                char** argv = commandLine->get_arguments(argc);
                // The launcher's words: the outside option first when the URLs are from outside
                // (a start by the desktop's handler of the scheme), then the URLs.
                std::vector<std::string> urls;
                RequestOrigin origin = RequestOrigin::host;
                for (int i = 1; i < argc; ++i) {
                    if (i == 1 && argv[i] == kOutsideRequestOption) {
                        origin = RequestOrigin::outside;
                    } else {
                        urls.emplace_back(argv[i]);
                    }
                }
                g_strfreev(argv);
                Desktop& running = *desktop();
                if (!urls.empty()) {
                    // Handled from the main queue, so the process that delivered them is
                    // answered at once rather than after the requests and their alerts.
                    running.mainQueue.async([weak = running.delegate->weakPtr(), urls, origin] {
                        if (AppDelegate* delegate = weak.get()) {
                            delegate->applicationOpen(urls, origin);
                        }
                    });
                } else if (commandLine->is_remote()) {
                    bool visible = false;
                    for (Gtk::Window* window : application->get_windows()) {
                        visible = visible || window->get_visible();
                    }
                    quenta::ignoreResult(
                        running.delegate->applicationShouldHandleReopen(visible),
                        "GTK shows the window itself; the delegate only brings it forward");
                }
                if (takenDescriptor >= 0) {
                    const char taken = '1';
                    quenta::ignoreResult(::write(takenDescriptor, &taken, 1),
                                         "a starter that went away no longer waits for the byte");
                    ::close(takenDescriptor);
                    takenDescriptor = -1;
                }
                return 0;
            },
            false);

        std::vector<std::string> words{"quentaapp"};
        if (launch.origin == RequestOrigin::outside) {
            words.emplace_back(kOutsideRequestOption);
        }
        words.insert(words.end(), launch.urls.begin(), launch.urls.end());
        std::vector<char*> argv;
        argv.reserve(words.size() + 1);
        for (auto& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        int status = application->run(static_cast<int>(words.size()), argv.data());
        if (const int stopSignal = StopSignals::signalReceived();
            stopSignal != 0 && desktop() != nullptr) {
            const std::string what = std::string("stopped by SIG") + sigabbrev_np(stopSignal) +
                                     ", " + std::to_string(desktop()->requestsLeft) +
                                     " further requests not handled";
            desktop()->log.write(what);
            status = 128 + stopSignal;
        }
        desktop().reset();
        return status;
    }

  private:
    // A stop request ends the event loop as soon as it is back from the work in hand, which asks
    // the same request between its items. A dialog waiting for an answer is answered as Escape
    // would (nothing is done), so no nested loop holds the process.
    static void watchStopSignals(Gtk::Application& application) {
        const int wake = desktop()->stop.wakeDescriptor();
        if (wake < 0) {
            return;
        }
        g_unix_fd_add(
            wake, G_IO_IN,
            [](int /*descriptor*/, GIOCondition /*condition*/, void* data) -> gboolean {
                desktop()->alerts.stopShowing();
                static_cast<Gtk::Application*>(data)->quit();
                return G_SOURCE_REMOVE;
            },
            &application);
    }

    // The one desktop (and so the one AppDelegate) of the process.
    static std::unique_ptr<Desktop>& desktop() {
        static std::unique_ptr<Desktop> instance;
        return instance;
    }
};

}  // namespace
}  // namespace quenta

extern "C" int quenta_shell_main(const quenta::ShellLaunch& launch) {
    return quenta::QuentaAppMain::main(launch);
}
