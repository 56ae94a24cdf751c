// The Nemo (Cinnamon's file manager, GTK 3) module of the extension: a composition root like the
// GNOME Files module. When Nemo loads it, it creates one FinderSync with the Linux adapters; Nemo
// asks its menu provider for items on selection changes and as soon as a folder loads, and the
// provider renders the extension's menu into NemoMenuItems: the same titles, order, submenu and
// enabled states, with separators between the groups, which Nemo draws as gaps. Nemo keeps a
// folder's background menu until the provider says its items changed, which it does after every
// item it runs. Each rendered menu keeps the situation Nemo reported for it. Nemo calls all of
// this on its main thread.
#include <glib-object.h>
#include <gmodule.h>

// Declared with C linkage before the header, which declares them without.
extern "C" {
G_MODULE_EXPORT void nemo_module_initialize(GTypeModule* module);
G_MODULE_EXPORT void nemo_module_shutdown(void);
G_MODULE_EXPORT void nemo_module_list_types(const GType** types, int* num_types);
}

#include "adapters/linux/gtk3/gtk3_clipboard_pasteboard.hpp"
#include "adapters/linux/gtk3/gtk3_window_reveals.hpp"
#include "hosts/menu_module.hpp"

#include <libnemo-extension/nemo-file-info.h>
#include <libnemo-extension/nemo-menu-provider.h>
#include <libnemo-extension/nemo-menu.h>

namespace {

namespace lp = quenta::linux_platform;

struct Nemo {
    using Item = NemoMenuItem;
    using Clipboard = lp::Gtk3ClipboardPasteboard;
    // Its FileManager1 opens a new window for every item shown.
    using Windows = lp::Gtk3WindowReveals;
    static constexpr bool kSeparators = true;
    static constexpr bool kOmitDisabled = false;
    static constexpr bool kGroupsAsSubmenus = false;

    // Nemo fails an assertion on a null tip and then crashes: the walk passes "" at least.
    static Item* newItem(const char* name, const char* label, const char* tip, const char* icon) {
        return nemo_menu_item_new(name, label, tip, icon);
    }
    static Item* newSeparator(const char* name) { return nemo_menu_item_new_separator(name); }
    static void itemsUpdated(GObject* provider) {
        nemo_menu_provider_emit_items_updated_signal(NEMO_MENU_PROVIDER(provider));
    }
    static void setSubmenu(Item* item, GList* children) {
        NemoMenu* submenu = nemo_menu_new();
        for (GList* node = children; node != nullptr; node = node->next) {
            nemo_menu_append_item(submenu, static_cast<NemoMenuItem*>(node->data));
        }
        nemo_menu_item_list_free(children);
        nemo_menu_item_set_submenu(item, submenu);
        g_object_unref(submenu);
    }
};

using Module = quenta::hosts::MenuModule<Nemo>;

GType providerType = 0;

GList* getFileItems(NemoMenuProvider*, GtkWidget* window, GList* files) {
    if (files == nullptr) {
        return nullptr;
    }
    return Module::menuFor(
        "selection",
        lp::MenuSituationController::situationForSelection(files, nemo_file_info_get_location),
        G_OBJECT(window));
}

GList* getBackgroundItems(NemoMenuProvider*, GtkWidget* window, NemoFileInfo* currentFolder) {
    return Module::menuFor(
        "background",
        lp::MenuSituationController::situationForFolder(currentFolder, nemo_file_info_get_location),
        G_OBJECT(window));
}

void initializeMenuProvider(gpointer iface, gpointer) {
    auto* provider = static_cast<NemoMenuProviderInterface*>(iface);
    provider->get_file_items = getFileItems;
    provider->get_background_items = getBackgroundItems;
}

}  // namespace

void nemo_module_initialize(GTypeModule* module) {
    const GTypeInfo info = Module::providerTypeInfo();
    providerType = g_type_module_register_type(module, G_TYPE_OBJECT, "QuentaMenuProvider", &info,
                                               static_cast<GTypeFlags>(0));
    const GInterfaceInfo menuProvider = {initializeMenuProvider, nullptr, nullptr};
    g_type_module_add_interface(module, providerType, NEMO_TYPE_MENU_PROVIDER, &menuProvider);
    Module::start();
}

void nemo_module_shutdown(void) {
    Module::stop();
}

void nemo_module_list_types(const GType** types, int* num_types) {
    *types = &providerType;
    *num_types = 1;
}
