#include "adapters/linux/gio/window_reveal_service.hpp"

#include "adapters/linux/gio/window_reveal_names.hpp"

#include <gio/gio.h>
#include <unistd.h>

#include <string>
#include <utility>

namespace quenta::linux_platform {

struct WindowRevealService::Bus {
    static void methodCalled(GDBusConnection*, const char*, const char*, const char*,
                             const char* method, GVariant* parameters,
                             GDBusMethodInvocation* invocation, gpointer data) {
        if (g_strcmp0(method, "ShowItems") != 0) {
            g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR,
                                                  G_DBUS_ERROR_UNKNOWN_METHOD, "no such method");
            return;
        }
        std::vector<std::string> paths;
        GVariantIter* iter = nullptr;
        g_variant_get(parameters, "(as)", &iter);
        const char* path = nullptr;
        while (g_variant_iter_next(iter, "&s", &path)) {
            paths.emplace_back(path);
        }
        g_variant_iter_free(iter);
        const bool shown = static_cast<WindowRevealService*>(data)->show_(paths);
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(b)", shown));
    }

    static void acquired(GDBusConnection* connection, const char*, gpointer data) {
        auto* self = static_cast<WindowRevealService*>(data);
        static constexpr const char* kIntrospection =
            "<node><interface name='com.local.QuentaApp.Extension'>"
            "<method name='ShowItems'><arg type='as' name='paths' direction='in'/>"
            "<arg type='b' name='shown' direction='out'/></method></interface></node>";
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
        static const GDBusInterfaceVTable vtable{methodCalled, nullptr, nullptr, {}};
        self->registrationId_ =
            g_dbus_connection_register_object(connection, kWindowRevealObjectPath,
                                              node->interfaces[0], &vtable, self, nullptr, nullptr);
        g_dbus_node_info_unref(node);
        if (self->registrationId_ != 0) {
            self->connection_ = g_object_ref(connection);
        }
    }
};

namespace {

// Whether a session bus is already running: GIO would otherwise try to start one (dbus-launch).
bool sessionBusRunning() {
    const char* address = g_getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address != nullptr && address[0] != '\0') {
        return true;
    }
    const char* runtime = g_getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || runtime[0] == '\0') {
        return false;
    }
    const std::string socket = std::string(runtime) + "/bus";
    return g_file_test(socket.c_str(), G_FILE_TEST_EXISTS) != FALSE;
}

}  // namespace

WindowRevealService::WindowRevealService(Show show) : show_(std::move(show)) {
    if (!sessionBusRunning()) {
        return;
    }
    const std::string name =
        std::string(kWindowRevealBusNamePrefix) + "p" + std::to_string(::getpid());
    ownerId_ = g_bus_own_name(G_BUS_TYPE_SESSION, name.c_str(), G_BUS_NAME_OWNER_FLAGS_NONE,
                              Bus::acquired, nullptr, nullptr, this, nullptr);
}

WindowRevealService::~WindowRevealService() {
    if (connection_ != nullptr) {
        auto* connection = static_cast<GDBusConnection*>(connection_);
        g_dbus_connection_unregister_object(connection, registrationId_);
        g_object_unref(connection);
    }
    if (ownerId_ != 0) {
        g_bus_unown_name(ownerId_);
    }
}

}  // namespace quenta::linux_platform
