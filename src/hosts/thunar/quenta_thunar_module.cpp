// The Thunar (Xfce's file manager, GTK 3) module of the extension: a composition root like the
// GNOME Files module. When Thunar loads it, it creates one FinderSync with the Linux adapters; its
// menu provider renders the extension's menu into ThunarxMenuItems with the same titles, order
// and submenu. Thunar draws a disabled item like any other and runs it when clicked, so the
// actions that are disabled (paste with nothing cut, cut and trash with nothing selected) are left
// out, and each group of file kinds is a submenu titled with its header: a header drawn as an item
// would read as one and close the menu when clicked. Each rendered menu keeps the situation Thunar
// reported for it. Thunar calls all of this on its main thread.
#include <glib-object.h>
#include <gmodule.h>
// The provider plug-in's header, alone of Thunar's, declares its functions without C linkage; read
// first inside extern "C" (GLib's headers are already in), they keep their plain names.
#include <glib-object.h>
#define THUNARX_INSIDE_THUNARX_H
extern "C" {
#include <thunarx/thunarx-provider-plugin.h>
}
#include <thunarx/thunarx.h>

extern "C" {
G_MODULE_EXPORT void thunar_extension_initialize(ThunarxProviderPlugin* plugin);
G_MODULE_EXPORT void thunar_extension_shutdown(void);
G_MODULE_EXPORT void thunar_extension_list_types(const GType** types, gint* n_types);
}

#include "adapters/linux/gtk3/gtk3_clipboard_pasteboard.hpp"
#include "adapters/linux/gtk3/gtk3_window_reveals.hpp"
#include "hosts/menu_module.hpp"

namespace {

namespace lp = quenta::linux_platform;

struct Thunar {
    using Item = ThunarxMenuItem;
    using Clipboard = lp::Gtk3ClipboardPasteboard;
    // Its FileManager1 opens a new window for every item shown.
    using Windows = lp::Gtk3WindowReveals;
    static constexpr bool kSeparators = false;
    static constexpr bool kOmitDisabled = true;
    static constexpr bool kGroupsAsSubmenus = true;

    static Item* newItem(const char* name, const char* label, const char* tip, const char* icon) {
        return thunarx_menu_item_new(name, label, tip, icon);
    }
    static Item* newSeparator(const char*) { return nullptr; }
    // The host asks for the items each time it shows a menu.
    static void itemsUpdated(GObject*) {}
    static void setSubmenu(Item* item, GList* children) {
        ThunarxMenu* submenu = thunarx_menu_new();
        for (GList* node = children; node != nullptr; node = node->next) {
            thunarx_menu_append_item(submenu, static_cast<ThunarxMenuItem*>(node->data));
        }
        thunarx_menu_item_list_free(children);
        thunarx_menu_item_set_menu(item, submenu);
        g_object_unref(submenu);
    }
};

using Module = quenta::hosts::MenuModule<Thunar>;

GType providerType = 0;

GList* getFileMenuItems(ThunarxMenuProvider*, GtkWidget* window, GList* files) {
    if (files == nullptr) {
        return nullptr;
    }
    return Module::menuFor(
        "selection",
        lp::MenuSituationController::situationForSelection(files, thunarx_file_info_get_location),
        G_OBJECT(window));
}

GList* getFolderMenuItems(ThunarxMenuProvider*, GtkWidget* window, ThunarxFileInfo* folder) {
    return Module::menuFor(
        "background",
        lp::MenuSituationController::situationForFolder(folder, thunarx_file_info_get_location),
        G_OBJECT(window));
}

void initializeMenuProvider(gpointer iface, gpointer) {
    auto* provider = static_cast<ThunarxMenuProviderIface*>(iface);
    provider->get_file_menu_items = getFileMenuItems;
    provider->get_folder_menu_items = getFolderMenuItems;
}

}  // namespace

void thunar_extension_initialize(ThunarxProviderPlugin* plugin) {
    // The extension keeps threads and static state: Thunar must never unload the module.
    thunarx_provider_plugin_set_resident(plugin, TRUE);
    const GTypeInfo info = Module::providerTypeInfo();
    providerType = thunarx_provider_plugin_register_type(
        plugin, G_TYPE_OBJECT, "QuentaMenuProvider", &info, static_cast<GTypeFlags>(0));
    const GInterfaceInfo menuProvider = {initializeMenuProvider, nullptr, nullptr};
    thunarx_provider_plugin_add_interface(plugin, providerType, THUNARX_TYPE_MENU_PROVIDER,
                                          &menuProvider);
    Module::start();
}

void thunar_extension_shutdown(void) {
    Module::stop();
}

void thunar_extension_list_types(const GType** types, gint* n_types) {
    *types = &providerType;
    *n_types = 1;
}
