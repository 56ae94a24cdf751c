// Thunar's side of its module: the provider plug-in Thunar hands the module (here the module
// object itself, as in Thunar), ThunarxMenuProvider, ThunarxFileInfo, ThunarxMenuItem.
#include "hosts/gtk3_test_host.hpp"

// The provider plug-in's header, alone of Thunar's, declares its functions without C linkage; read
// first inside extern "C" (GLib's headers are already in), they keep their plain names.
#include <glib-object.h>
#define THUNARX_INSIDE_THUNARX_H
extern "C" {
#include <thunarx/thunarx-provider-plugin.h>
}
#include <thunarx/thunarx.h>

namespace quenta::testing {
namespace {

gboolean pluginResident = FALSE;

void initializePlugin(gpointer iface, gpointer) {
    auto* plugin = static_cast<ThunarxProviderPluginIface*>(iface);
    plugin->get_resident = [](const ThunarxProviderPlugin*) { return pluginResident; };
    plugin->set_resident = [](ThunarxProviderPlugin*, gboolean resident) {
        pluginResident = resident;
    };
    plugin->register_type = [](ThunarxProviderPlugin* self, GType parent, const gchar* name,
                               const GTypeInfo* info, GTypeFlags flags) {
        return g_type_module_register_type(G_TYPE_MODULE(self), parent, name, info, flags);
    };
    plugin->add_interface = [](ThunarxProviderPlugin* self, GType instance, GType interface,
                               const GInterfaceInfo* info) {
        g_type_module_add_interface(G_TYPE_MODULE(self), instance, interface, info);
    };
    plugin->register_enum = [](ThunarxProviderPlugin* self, const gchar* name,
                               const GEnumValue* values) {
        return g_type_module_register_enum(G_TYPE_MODULE(self), name, values);
    };
    plugin->register_flags = [](ThunarxProviderPlugin* self, const gchar* name,
                                const GFlagsValue* values) {
        return g_type_module_register_flags(G_TYPE_MODULE(self), name, values);
    };
}

// Thunar passes its window, which the test host has none of: the provider is asked directly.
ThunarxMenuProviderIface* iface(GObject* provider) {
    return THUNARX_MENU_PROVIDER_GET_IFACE(provider);
}

struct ThunarApi {
    static constexpr const char* kEntryPoints[3] = {
        "thunar_extension_initialize", "thunar_extension_shutdown", "thunar_extension_list_types"};
    static HostTraits traits() { return {"thunar", false, true, false, false, true}; }
    static void moduleInterfaces(GType type) {
        const GInterfaceInfo plugin = {initializePlugin, nullptr, nullptr};
        g_type_add_interface_static(type, THUNARX_TYPE_PROVIDER_PLUGIN, &plugin);
    }
    static GType fileInfoType() {
        static const GType type = testing::fileInfoType(
            "QuentaTestThunarFileInfo", THUNARX_TYPE_FILE_INFO, [](gpointer iface, gpointer) {
                static_cast<ThunarxFileInfoIface*>(iface)->get_location =
                    [](ThunarxFileInfo* info) { return fileInfoLocation(info); };
            });
        return type;
    }
    static bool isMenuProvider(GObject* provider) { return THUNARX_IS_MENU_PROVIDER(provider); }
    static GList* background(GObject* provider, GObject* folder) {
        return iface(provider)->get_folder_menu_items(THUNARX_MENU_PROVIDER(provider), nullptr,
                                                      reinterpret_cast<ThunarxFileInfo*>(folder));
    }
    static GList* files(GObject* provider, GList* infos) {
        return iface(provider)->get_file_menu_items(THUNARX_MENU_PROVIDER(provider), nullptr,
                                                    infos);
    }
    static GList* toolbar(GObject*, GObject*) { return nullptr; }
    static GList* submenu(GObject* item) {
        ThunarxMenu* menu = nullptr;
        g_object_get(item, "menu", &menu, nullptr);
        if (menu == nullptr) {
            return nullptr;
        }
        GList* items = thunarx_menu_get_items(menu);
        g_object_unref(menu);
        return items;
    }
    static bool isSeparator(GObject*) { return false; }
    static void activate(GObject* item) { thunarx_menu_item_activate(THUNARX_MENU_ITEM(item)); }
    static void freeItems(GList* items) {
        if (items != nullptr) {
            thunarx_menu_item_list_free(items);
        }
    }
};

}  // namespace

std::unique_ptr<Gtk3TestHost> makeTestHost(const std::string& modulePath) {
    return std::make_unique<TestHostFor<ThunarApi>>(modulePath);
}

}  // namespace quenta::testing
