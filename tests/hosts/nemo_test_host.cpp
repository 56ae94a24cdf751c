// Nemo's side of its module: NemoMenuProvider, NemoFileInfo, NemoMenuItem.
#include "hosts/gtk3_test_host.hpp"

#include <libnemo-extension/nemo-file-info.h>
#include <libnemo-extension/nemo-menu-provider.h>
#include <libnemo-extension/nemo-menu.h>

namespace quenta::testing {
namespace {

struct NemoApi {
    static constexpr const char* kEntryPoints[3] = {
        "nemo_module_initialize", "nemo_module_shutdown", "nemo_module_list_types"};
    static HostTraits traits() { return {"nemo", true, false, false, true}; }
    static void moduleInterfaces(GType) {}
    static GType fileInfoType() {
        static const GType type = testing::fileInfoType(
            "QuentaTestNemoFileInfo", NEMO_TYPE_FILE_INFO, [](gpointer iface, gpointer) {
                static_cast<NemoFileInfoInterface*>(iface)->get_location = [](NemoFileInfo* info) {
                    return fileInfoLocation(info);
                };
            });
        return type;
    }
    static bool isMenuProvider(GObject* provider) { return NEMO_IS_MENU_PROVIDER(provider); }
    static GList* background(GObject* provider, GObject* folder) {
        return nemo_menu_provider_get_background_items(NEMO_MENU_PROVIDER(provider), nullptr,
                                                       reinterpret_cast<NemoFileInfo*>(folder));
    }
    static GList* files(GObject* provider, GList* infos) {
        return nemo_menu_provider_get_file_items(NEMO_MENU_PROVIDER(provider), nullptr, infos);
    }
    static GList* toolbar(GObject*, GObject*) { return nullptr; }
    static GList* submenu(GObject* item) {
        NemoMenu* menu = nullptr;
        g_object_get(item, "menu", &menu, nullptr);
        if (menu == nullptr) {
            return nullptr;
        }
        GList* items = nemo_menu_get_items(menu);
        g_object_unref(menu);
        return items;
    }
    static bool isSeparator(GObject* item) {
        gboolean separator = FALSE;
        g_object_get(item, "separator", &separator, nullptr);
        return separator != FALSE;
    }
    static void activate(GObject* item) { nemo_menu_item_activate(NEMO_MENU_ITEM(item)); }
    static void freeItems(GList* items) {
        if (items != nullptr) {
            nemo_menu_item_list_free(items);
        }
    }
};

}  // namespace

std::unique_ptr<Gtk3TestHost> makeTestHost(const std::string& modulePath) {
    return std::make_unique<TestHostFor<NemoApi>>(modulePath);
}

}  // namespace quenta::testing
