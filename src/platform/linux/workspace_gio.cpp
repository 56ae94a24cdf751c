#include "platform/linux/workspace_gio.hpp"

#include <gio/gio.h>

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

bool GioWorkspace::openFile(const std::string& path) {
    (void)path;
    return false;
}

}  // namespace quenta::linux_platform
