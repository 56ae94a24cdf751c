#include "adapters/linux/gio/workspace_gio.hpp"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

namespace quenta::linux_platform {

void GioWorkspace::revealItems(const std::vector<std::string>& paths) {
    if (paths.empty()) {
        return;
    }
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (bus == nullptr) {
        g_clear_error(&error);
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
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
        "org.freedesktop.FileManager1", "ShowItems", g_variant_new("(ass)", &uris, ""), nullptr,
        G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &error);
    if (reply != nullptr) {
        g_variant_unref(reply);
    }
    g_clear_error(&error);
    g_object_unref(bus);
}

}  // namespace quenta::linux_platform

namespace quenta::linux_platform {

namespace {

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The command that runs a script as the kernel would: the interpreter of its "#!" line with its
// one optional argument, then the script; a script without that line is run by /bin/sh. Running
// the interpreter directly also works where the temporary folder is mounted noexec.
std::vector<std::string> scriptCommand(const std::string& script) {
    std::ifstream in(script, std::ios::binary);
    std::string line;
    std::getline(in, line);
    std::vector<std::string> command;
    if (line.rfind("#!", 0) == 0) {
        std::istringstream words(line.substr(2));
        std::string interpreter;
        std::string argument;
        words >> interpreter;
        std::getline(words >> std::ws, argument);
        while (!argument.empty() && std::isspace(static_cast<unsigned char>(argument.back()))) {
            argument.pop_back();
        }
        if (!interpreter.empty()) {
            command.push_back(interpreter);
            if (!argument.empty()) {
                command.push_back(argument);
            }
        }
    }
    if (command.empty()) {
        command.emplace_back("/bin/sh");
    }
    command.push_back(script);
    return command;
}

// The executable file a program name stands for, searched in $PATH.
std::optional<std::string> findProgram(const std::string& name) {
    const char* variable = std::getenv("PATH");
    const std::string searchPath =
        variable != nullptr && variable[0] != '\0' ? variable : "/usr/local/bin:/usr/bin:/bin";
    std::istringstream folders(searchPath);
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (folder.empty()) {
            continue;
        }
        const std::string candidate = std::string(folder).append("/").append(name);
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return std::nullopt;
}

std::vector<std::string> concatenated(std::vector<std::string> head,
                                      const std::vector<std::string>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

// The ways to run `command` in a new terminal window with `folder` as working directory, best
// first: the Debian alternative every desktop installs, the current desktop's own terminal, then
// the common emulators.
std::vector<std::vector<std::string>> terminalInvocations(const std::string& folder,
                                                          const std::vector<std::string>& command) {
    const auto gnome =
        concatenated({"gnome-terminal", "--working-directory=" + folder, "--"}, command);
    const auto console = concatenated({"kgx", "--working-directory", folder, "-e"}, command);
    const auto konsole = concatenated({"konsole", "--workdir", folder, "-e"}, command);
    const auto xfce =
        concatenated({"xfce4-terminal", "--working-directory=" + folder, "-x"}, command);
    const auto mate =
        concatenated({"mate-terminal", "--working-directory=" + folder, "-x"}, command);
    const auto xterm = concatenated({"xterm", "-e"}, command);

    std::vector<std::vector<std::string>> invocations;
    invocations.push_back(concatenated({"x-terminal-emulator", "-e"}, command));

    std::string desktops;
    if (const char* current = std::getenv("XDG_CURRENT_DESKTOP")) {
        desktops = current;
    }
    std::transform(desktops.begin(), desktops.end(), desktops.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::istringstream names(desktops);
    std::string desktop;
    while (std::getline(names, desktop, ':')) {
        if (desktop == "gnome" || desktop == "unity" || desktop == "cinnamon") {
            invocations.push_back(gnome);
            invocations.push_back(console);
        } else if (desktop == "kde") {
            invocations.push_back(konsole);
        } else if (desktop == "xfce") {
            invocations.push_back(xfce);
        } else if (desktop == "mate") {
            invocations.push_back(mate);
        }
    }
    for (const auto& common : {gnome, konsole, console, xfce, mate, xterm}) {
        invocations.push_back(common);
    }
    return invocations;
}

// Starts the program detached in `folder`: GLib reaps it through an intermediate child, so
// nothing waits for it and no zombie is left. False when it could not be started.
bool spawnDetached(const std::string& folder, const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const auto& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));  // GLib does not write to them
    }
    argv.push_back(nullptr);
    GError* error = nullptr;
    const gboolean started = g_spawn_async(
        folder.c_str(), argv.data(), nullptr,
        static_cast<GSpawnFlags>(G_SPAWN_STDIN_FROM_DEV_NULL | G_SPAWN_STDOUT_TO_DEV_NULL), nullptr,
        nullptr, nullptr, &error);
    g_clear_error(&error);
    return started != FALSE;
}

bool openInTerminal(const std::string& script) {
    const auto slash = script.rfind('/');
    const std::string folder =
        slash == std::string::npos || slash == 0 ? "/" : script.substr(0, slash);
    const auto command = scriptCommand(script);
    for (auto invocation : terminalInvocations(folder, command)) {
        const auto program = findProgram(invocation.front());
        if (!program) {
            continue;
        }
        invocation.front() = *program;
        if (spawnDetached(folder, invocation)) {
            return true;
        }
    }
    return false;
}

struct LaunchWait {
    bool done = false;
    bool launched = false;
};

void launchFinished(GObject*, GAsyncResult* result, gpointer data) {
    auto* wait = static_cast<LaunchWait*>(data);
    GError* error = nullptr;
    wait->launched = g_app_info_launch_default_for_uri_finish(result, &error) != FALSE;
    g_clear_error(&error);
    wait->done = true;
}

// The desktop's default handler for the URI. The asynchronous launch is awaited: the synchronous
// one can lose the request of a D-Bus-activated handler when this process ends soon.
bool openUriWithDefaultHandler(const char* uri) {
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    LaunchWait wait;
    g_app_info_launch_default_for_uri_async(uri, nullptr, nullptr, launchFinished, &wait);
    while (!wait.done) {
        g_main_context_iteration(context, TRUE);
    }
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
    return wait.launched;
}

bool openWithDefaultHandler(const std::string& path) {
    GFile* file = g_file_new_for_path(path.c_str());
    char* uri = g_file_get_uri(file);
    g_object_unref(file);
    const bool launched = openUriWithDefaultHandler(uri);
    g_free(uri);
    return launched;
}

bool launchDesktopEntry(const std::string& id) {
    GDesktopAppInfo* application = g_desktop_app_info_new(id.c_str());
    if (application == nullptr) {
        return false;
    }
    GError* error = nullptr;
    const gboolean launched = g_app_info_launch(G_APP_INFO(application), nullptr, nullptr, &error);
    g_clear_error(&error);
    g_object_unref(application);
    return launched != FALSE;
}

}  // namespace

bool GioWorkspace::openFile(const std::string& path) {
    if (endsWith(path, ".command")) {
        return openInTerminal(path);
    }
    return openWithDefaultHandler(path);
}

bool GioWorkspace::openURL(const std::string& address) {
    if (address.empty()) {
        return false;
    }
    if (endsWith(address, ".desktop") && address.find_first_of("/:") == std::string::npos) {
        return launchDesktopEntry(address);
    }
    char* scheme = g_uri_parse_scheme(address.c_str());
    if (scheme == nullptr) {
        return false;
    }
    g_free(scheme);
    return openUriWithDefaultHandler(address.c_str());
}

}  // namespace quenta::linux_platform
