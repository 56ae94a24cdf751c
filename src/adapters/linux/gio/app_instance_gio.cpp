#include "adapters/linux/gio/app_instance_gio.hpp"

#include "adapters/linux/gio/gio_error.hpp"

#include <gio/gio.h>
#include <unistd.h>

#include <cstdlib>

namespace quenta::linux_platform {
namespace {

// Whether a session bus is known, without asking GIO, which would start one of its own when only
// a display is known.
bool sessionBusKnown() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address != nullptr && address[0] != '\0') {
        return true;
    }
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || runtime[0] == '\0') {
        return false;
    }
    const std::string socket = std::string(runtime) + "/bus";
    return ::access(socket.c_str(), F_OK) == 0;
}

Result<bool> nameHasOwner(GDBusConnection* bus, const std::string& name) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "NameHasOwner", g_variant_new("(s)", name.c_str()), G_VARIANT_TYPE("(b)"),
        G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, &error);
    if (reply == nullptr) {
        return takeGError(error, "the session bus did not answer NameHasOwner");
    }
    gboolean owned = FALSE;
    g_variant_get(reply, "(b)", &owned);
    g_variant_unref(reply);
    return owned != FALSE;
}

}  // namespace

Result<int> handToRunningInstance(const std::string& applicationId,
                                  const std::vector<std::string>& arguments) {
    if (!sessionBusKnown()) {
        return Error{ErrorKind::notFound, "no session bus is known"};
    }
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (bus == nullptr) {
        return takeGError(error, "the session bus could not be reached");
    }
    const Result<bool> owned = nameHasOwner(bus, applicationId);
    Result<int> status =
        owned.ok() ? Error{ErrorKind::notFound, "no instance runs"} : owned.error();
    if (owned.ok() && owned.value()) {
        // A launcher never becomes the primary instance itself; it sends its command line to the
        // owner of the ID and returns the status the owner answers.
        GApplication* launcher =
            g_application_new(applicationId.c_str(),
                              static_cast<GApplicationFlags>(G_APPLICATION_HANDLES_COMMAND_LINE |
                                                             G_APPLICATION_IS_LAUNCHER));
        std::vector<std::string> words{"quentaapp"};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        argv.reserve(words.size() + 1);
        for (auto& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        status = g_application_run(launcher, static_cast<int>(words.size()), argv.data());
        g_object_unref(launcher);
    }
    g_object_unref(bus);
    return status;
}

}  // namespace quenta::linux_platform
