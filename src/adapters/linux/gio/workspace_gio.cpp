#include "adapters/linux/gio/workspace_gio.hpp"

#include "adapters/linux/gio/gio_error.hpp"
#include "adapters/linux/gio/window_reveal_names.hpp"
#include "adapters/linux/posix/program_search.hpp"
#include "adapters/linux/posix/terminal_command.hpp"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <csignal>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quenta::linux_platform {

// The reveals under way; shared with their callbacks, which may come after the workspace is gone.
struct GioWorkspace::Reveals {
    int pending = 0;
};

namespace {

struct RevealCall {
    std::shared_ptr<GioWorkspace::Reveals> reveals;
    std::vector<std::string> paths;
    int timeoutMs = 0;
    GDBusConnection* bus = nullptr;
    // The extension modules on the bus not yet asked, last first.
    std::vector<std::string> windowOwners;

    ~RevealCall() {
        if (bus != nullptr) {
            g_object_unref(bus);
        }
    }
};

std::string parentFolder(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

void delivered(std::unique_ptr<RevealCall> call) {
    --call->reveals->pending;
}

void folderOpened(GObject*, GAsyncResult* result, gpointer data) {
    std::unique_ptr<RevealCall> call(static_cast<RevealCall*>(data));
    GError* error = nullptr;
    ignoreResult(
        g_app_info_launch_default_for_uri_finish(result, &error),
        "the reveal is best effort: a folder that cannot be opened either is left at that");
    g_clear_error(&error);
    delivered(std::move(call));
}

// Opens the folder with the desktop's handler, without waiting.
void openFolderInstead(std::unique_ptr<RevealCall> call) {
    GFile* file = g_file_new_for_path(parentFolder(call->paths.front()).c_str());
    char* uri = g_file_get_uri(file);
    g_object_unref(file);
    g_app_info_launch_default_for_uri_async(uri, nullptr, nullptr, folderOpened, call.release());
    g_free(uri);
}

void itemsShown(GObject* source, GAsyncResult* result, gpointer data) {
    std::unique_ptr<RevealCall> call(static_cast<RevealCall*>(data));
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
    if (reply != nullptr) {
        g_variant_unref(reply);
        delivered(std::move(call));
        return;
    }
    // No file manager on the bus, a refusal, or no answer in time.
    g_clear_error(&error);
    openFolderInstead(std::move(call));
}

void askFileManager(std::unique_ptr<RevealCall> call) {
    GVariantBuilder uris;
    g_variant_builder_init(&uris, G_VARIANT_TYPE("as"));
    for (const auto& path : call->paths) {
        GFile* file = g_file_new_for_path(path.c_str());
        char* uri = g_file_get_uri(file);
        g_variant_builder_add(&uris, "s", uri);
        g_free(uri);
        g_object_unref(file);
    }
    // Read before the call is handed over: argument order is unspecified.
    GDBusConnection* bus = call->bus;
    const int timeout = call->timeoutMs;
    g_dbus_connection_call(bus, "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                           "org.freedesktop.FileManager1", "ShowItems",
                           g_variant_new("(ass)", &uris, ""), nullptr, G_DBUS_CALL_FLAGS_NONE,
                           timeout, nullptr, itemsShown, call.release());
}

void askNextWindowOwner(std::unique_ptr<RevealCall> call);

void windowOwnerAnswered(GObject* source, GAsyncResult* result, gpointer data) {
    std::unique_ptr<RevealCall> call(static_cast<RevealCall*>(data));
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
    gboolean shown = FALSE;
    if (reply != nullptr) {
        g_variant_get(reply, "(b)", &shown);
        g_variant_unref(reply);
    }
    if (shown != FALSE) {
        delivered(std::move(call));
        return;
    }
    askNextWindowOwner(std::move(call));
}

// Asks the extension modules in turn whether a window of theirs shows the items' folder; the file
// manager's FileManager1 when none does. A module that fails or is slow counts as a no.
void askNextWindowOwner(std::unique_ptr<RevealCall> call) {
    if (call->windowOwners.empty()) {
        askFileManager(std::move(call));
        return;
    }
    const std::string owner = std::move(call->windowOwners.back());
    call->windowOwners.pop_back();
    GVariantBuilder paths;
    g_variant_builder_init(&paths, G_VARIANT_TYPE("as"));
    for (const auto& path : call->paths) {
        g_variant_builder_add(&paths, "s", path.c_str());
    }
    GDBusConnection* bus = call->bus;
    const int timeout = std::min(call->timeoutMs, 2000);
    g_dbus_connection_call(bus, owner.c_str(), kWindowRevealObjectPath, kWindowRevealInterface,
                           "ShowItems", g_variant_new("(as)", &paths), G_VARIANT_TYPE("(b)"),
                           G_DBUS_CALL_FLAGS_NO_AUTO_START, timeout, nullptr, windowOwnerAnswered,
                           call.release());
}

void namesListed(GObject* source, GAsyncResult* result, gpointer data) {
    std::unique_ptr<RevealCall> call(static_cast<RevealCall*>(data));
    if (GVariant* reply =
            g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr)) {
        GVariantIter* names = nullptr;
        g_variant_get(reply, "(as)", &names);
        const char* name = nullptr;
        const std::string_view prefix = kWindowRevealBusNamePrefix;
        while (g_variant_iter_next(names, "&s", &name)) {
            if (std::string_view(name).substr(0, prefix.size()) == prefix) {
                call->windowOwners.emplace_back(name);
            }
        }
        g_variant_iter_free(names);
        g_variant_unref(reply);
    }
    askNextWindowOwner(std::move(call));
}

}  // namespace

GioWorkspace::GioWorkspace(std::chrono::milliseconds revealTimeout,
                           std::chrono::milliseconds launchTimeout)
    : revealTimeout_(revealTimeout),
      launchTimeout_(launchTimeout),
      reveals_(std::make_shared<Reveals>()) {}

GioWorkspace::~GioWorkspace() = default;

int GioWorkspace::pendingReveals() const {
    return reveals_->pending;
}

void GioWorkspace::revealItems(const std::vector<std::string>& paths) {
    if (paths.empty()) {
        return;
    }
    auto call = std::make_unique<RevealCall>();
    call->reveals = reveals_;
    call->paths = paths;
    call->timeoutMs = static_cast<int>(revealTimeout_.count());
    ++reveals_->pending;
    GError* error = nullptr;
    call->bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (call->bus == nullptr) {
        g_clear_error(&error);
        openFolderInstead(std::move(call));
        return;
    }
    // Sent at once, in call order on the one connection; the answer is awaited by nobody.
    GDBusConnection* bus = call->bus;
    g_dbus_connection_call(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                           "org.freedesktop.DBus", "ListNames", nullptr, G_VARIANT_TYPE("(as)"),
                           G_DBUS_CALL_FLAGS_NONE, static_cast<int>(revealTimeout_.count()),
                           nullptr, namesListed, call.release());
}

void GioWorkspace::itemsTrashed(const std::vector<std::string>& paths) {
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (bus == nullptr || paths.empty()) {
        g_clear_object(&bus);
        return;
    }
    GVariantBuilder uris;
    g_variant_builder_init(&uris, G_VARIANT_TYPE("as"));
    for (const auto& path : paths) {
        GFile* file = g_file_new_for_path(path.c_str());
        char* uri = g_file_get_uri(file);
        g_variant_builder_add(&uris, "s", uri);
        g_free(uri);
        g_object_unref(file);
    }
    ignoreResult(
        g_dbus_connection_emit_signal(bus, nullptr, "/", "org.kde.KDirNotify", "FilesRemoved",
                                      g_variant_new("(as)", &uris), nullptr),
        "best effort: a view that missed it shows the change on its next refresh");
    ignoreResult(
        g_dbus_connection_emit_signal(bus, nullptr, "/", "org.kde.KDirNotify", "FilesAdded",
                                      g_variant_new("(s)", "trash:/"), nullptr),
        "best effort, as above");
    // Sent before a process that ends after its requests exits.
    ignoreResult(g_dbus_connection_flush_sync(bus, nullptr, nullptr), "best effort, as above");
    g_object_unref(bus);
}

void GioWorkspace::finishReveals(std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (reveals_->pending > 0 && std::chrono::steady_clock::now() < deadline) {
        if (g_main_context_iteration(nullptr, FALSE) == FALSE) {
            g_usleep(1000);
        }
    }
}

}  // namespace quenta::linux_platform

namespace quenta::linux_platform {

namespace {

// Runs in the child before the program starts: a signal this process ignores would stay ignored
// there, so the program gets SIGPIPE's default back.
void restoreBrokenPipeSignal(gpointer /*unused*/) {
    (void)::signal(SIGPIPE, SIG_DFL);
}

// Starts the program detached in `folder`: GLib reaps it through an intermediate child, so
// nothing waits for it and no zombie is left.
Status spawnDetached(const std::string& folder, const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const auto& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));  // GLib does not write to them
    }
    argv.push_back(nullptr);
    GError* error = nullptr;
    const gboolean started = g_spawn_async(
        folder.c_str(), argv.data(), nullptr,
        static_cast<GSpawnFlags>(G_SPAWN_STDIN_FROM_DEV_NULL | G_SPAWN_STDOUT_TO_DEV_NULL),
        restoreBrokenPipeSignal, nullptr, nullptr, &error);
    if (started == FALSE) {
        return takeGError(error, "the program could not be started");
    }
    return {};
}

// The first of the terminal commands that starts, in `folder`.
Status startTerminal(const std::string& folder) {
    if (folder.empty() || folder.front() != '/') {
        return Error{ErrorKind::invalidArgument, "not an absolute path: " + folder};
    }
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    const auto commands = terminalCommands(folder, loginShell(), desktop != nullptr ? desktop : "",
                                           programSearchPath());
    if (commands.empty()) {
        return Error{ErrorKind::notFound,
                     "no terminal emulator is installed (looked for " + terminalNames() + ")"};
    }
    Status started;
    for (const auto& command : commands) {
        started = spawnDetached(folder, command);
        if (started) {
            return started;
        }
    }
    return started;
}

// One awaited launch; shared with its callback, which may come after the wait has given up.
struct LaunchWait {
    bool done = false;
    Status launched;
};

void launchFinished(GObject*, GAsyncResult* result, gpointer data) {
    std::unique_ptr<std::shared_ptr<LaunchWait>> wait(
        static_cast<std::shared_ptr<LaunchWait>*>(data));
    GError* error = nullptr;
    if (g_app_info_launch_default_for_uri_finish(result, &error) == FALSE) {
        (*wait)->launched = takeGError(error, "the default application could not be started");
    }
    (*wait)->done = true;
}

gboolean deadlinePassed(gpointer data) {
    *static_cast<bool*>(data) = true;
    return G_SOURCE_REMOVE;
}

// The desktop's default handler for the URI. The asynchronous launch is awaited, at most
// `bound`: the synchronous one can lose the request of a D-Bus-activated handler when this
// process ends soon. A handler that has not answered by then is reported as not started.
Status openUriWithDefaultHandler(const char* uri, std::chrono::milliseconds bound) {
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    auto wait = std::make_shared<LaunchWait>();
    GCancellable* cancellable = g_cancellable_new();
    // Iterates the private context until the launch has answered or `limit` has passed.
    const auto awaitLaunch = [&](std::chrono::milliseconds limit) {
        bool late = false;
        GSource* deadline = g_timeout_source_new(static_cast<guint>(limit.count()));
        g_source_set_callback(deadline, deadlinePassed, &late, nullptr);
        g_source_attach(deadline, context);
        while (!wait->done && !late) {
            g_main_context_iteration(context, TRUE);
        }
        g_source_destroy(deadline);
        g_source_unref(deadline);
    };
    g_app_info_launch_default_for_uri_async(uri, nullptr, cancellable, launchFinished,
                                            new std::shared_ptr<LaunchWait>(wait));
    awaitLaunch(bound);
    const bool answered = wait->done;
    if (!answered) {
        // Cancelling ends the pending D-Bus call at once; the short second wait lets its callback
        // release what the launch holds.
        g_cancellable_cancel(cancellable);
        awaitLaunch(std::chrono::seconds(1));
    }
    g_object_unref(cancellable);
    g_main_context_pop_thread_default(context);
    // A launch that ignored the cancellation keeps the context alive; its callback never runs
    // once nobody iterates the context, and what it holds is released with the process.
    g_main_context_unref(context);
    if (!answered) {
        return Error{ErrorKind::other, "the default application did not answer within " +
                                           std::to_string(bound.count()) + " ms"};
    }
    return wait->launched;
}

Status launchDesktopEntry(const std::string& id) {
    GDesktopAppInfo* application = g_desktop_app_info_new(id.c_str());
    if (application == nullptr) {
        return Error{ErrorKind::notFound, "no installed application has the desktop entry " + id};
    }
    GError* error = nullptr;
    const gboolean launched = g_app_info_launch(G_APP_INFO(application), nullptr, nullptr, &error);
    g_object_unref(application);
    if (launched == FALSE) {
        return takeGError(error, "the application could not be started");
    }
    return {};
}

}  // namespace

Status GioWorkspace::openTerminal(const std::string& folder) {
    return startTerminal(folder);
}

Status GioWorkspace::openURL(const std::string& address) {
    if (address.ends_with(".desktop") && address.find_first_of("/:") == std::string::npos) {
        return launchDesktopEntry(address);
    }
    char* scheme = g_uri_parse_scheme(address.c_str());
    if (scheme == nullptr) {
        return Error{ErrorKind::invalidArgument, "not a URL: " + address};
    }
    g_free(scheme);
    return openUriWithDefaultHandler(address.c_str(), launchTimeout_);
}

}  // namespace quenta::linux_platform
