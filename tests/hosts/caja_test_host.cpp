// Caja's side of its module: CajaMenuProvider (with its toolbar items), CajaFileInfo, CajaMenuItem.
#include "hosts/gtk3_test_host.hpp"

#include <libcaja-extension/caja-file-info.h>
#include <libcaja-extension/caja-menu-provider.h>
#include <libcaja-extension/caja-menu.h>

namespace quenta::testing {
namespace {

struct CajaApi {
    static constexpr const char* kEntryPoints[3] = {
        "caja_module_initialize", "caja_module_shutdown", "caja_module_list_types"};
    static HostTraits traits() { return {"caja", false, false, true, true}; }
    static void moduleInterfaces(GType) {}
    static GType fileInfoType() {
        static const GType type = testing::fileInfoType(
            "QuentaTestCajaFileInfo", CAJA_TYPE_FILE_INFO, [](gpointer iface, gpointer) {
                static_cast<CajaFileInfoIface*>(iface)->get_location = [](CajaFileInfo* info) {
                    return fileInfoLocation(info);
                };
            });
        return type;
    }
    static bool isMenuProvider(GObject* provider) { return CAJA_IS_MENU_PROVIDER(provider); }
    static GList* background(GObject* provider, GObject* folder) {
        return caja_menu_provider_get_background_items(CAJA_MENU_PROVIDER(provider), nullptr,
                                                       reinterpret_cast<CajaFileInfo*>(folder));
    }
    static GList* files(GObject* provider, GList* infos) {
        return caja_menu_provider_get_file_items(CAJA_MENU_PROVIDER(provider), nullptr, infos);
    }
    static GList* toolbar(GObject* provider, GObject* folder) {
        return caja_menu_provider_get_toolbar_items(CAJA_MENU_PROVIDER(provider), nullptr,
                                                    reinterpret_cast<CajaFileInfo*>(folder));
    }
    static GList* submenu(GObject* item) {
        CajaMenu* menu = nullptr;
        g_object_get(item, "menu", &menu, nullptr);
        if (menu == nullptr) {
            return nullptr;
        }
        GList* items = caja_menu_get_items(menu);
        g_object_unref(menu);
        return items;
    }
    static bool isSeparator(GObject*) { return false; }
    static void activate(GObject* item) { caja_menu_item_activate(CAJA_MENU_ITEM(item)); }
    static void freeItems(GList* items) {
        if (items != nullptr) {
            caja_menu_item_list_free(items);
        }
    }
};

}  // namespace

std::unique_ptr<Gtk3TestHost> makeTestHost(const std::string& modulePath) {
    return std::make_unique<TestHostFor<CajaApi>>(modulePath);
}

}  // namespace quenta::testing
