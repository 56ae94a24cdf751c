// The Caja (MATE's file manager, GTK 3) module of the extension: a composition root like the
// GNOME Files module. When Caja loads it, it creates one FinderSync with the Linux adapters; its
// menu provider renders the extension's menu into CajaMenuItems (the same titles, order, submenu
// and enabled states; Caja draws no separators for extension items, the disabled group headers
// mark the groups), and its toolbar button: the extension's name, tool tip and icon, holding the
// same menu. Each rendered menu keeps the situation Caja reported for it. Caja calls all of this
// on its main thread.
#include <glib-object.h>
#include <gmodule.h>

// Declared with C linkage and exported before the header declares them.
extern "C" {
G_MODULE_EXPORT void caja_module_initialize(GTypeModule* module);
G_MODULE_EXPORT void caja_module_shutdown(void);
G_MODULE_EXPORT void caja_module_list_types(const GType** types, int* num_types);
}

#include "adapters/linux/gtk3/gtk3_clipboard_pasteboard.hpp"
#include "adapters/linux/gtk3/gtk3_window_reveals.hpp"
#include "hosts/gtk3_pop_up_menu.hpp"
#include "hosts/menu_module.hpp"

#include <libcaja-extension/caja-file-info.h>
#include <libcaja-extension/caja-menu-provider.h>
#include <libcaja-extension/caja-menu.h>

namespace {

namespace lp = quenta::linux_platform;

struct Caja {
    using Item = CajaMenuItem;
    using Clipboard = lp::Gtk3ClipboardPasteboard;
    // Its FileManager1 opens a new window for every item shown.
    using Windows = lp::Gtk3WindowReveals;
    static constexpr bool kSeparators = false;
    static constexpr bool kOmitDisabled = false;
    static constexpr bool kGroupsAsSubmenus = false;
    // Caja draws the toolbar button without its submenu and only activates it.
    static void popUpMenu(const std::vector<quenta::MenuItem>& items, GObject* window,
                          quenta::hosts::RunSelector run) {
        quenta::hosts::popUpGtk3Menu(items, window, std::move(run), kOmitDisabled);
    }

    static Item* newItem(const char* name, const char* label, const char* tip, const char* icon) {
        return caja_menu_item_new(name, label, tip, icon);
    }
    static Item* newSeparator(const char*) { return nullptr; }
    static void itemsUpdated(GObject* provider) {
        caja_menu_provider_emit_items_updated_signal(CAJA_MENU_PROVIDER(provider));
    }
    static void setSubmenu(Item* item, GList* children) {
        CajaMenu* submenu = caja_menu_new();
        for (GList* node = children; node != nullptr; node = node->next) {
            caja_menu_append_item(submenu, static_cast<CajaMenuItem*>(node->data));
        }
        caja_menu_item_list_free(children);
        caja_menu_item_set_submenu(item, submenu);
        g_object_unref(submenu);
    }
};

using Module = quenta::hosts::MenuModule<Caja>;

GType providerType = 0;

GList* getFileItems(CajaMenuProvider*, GtkWidget* window, GList* files) {
    if (files == nullptr) {
        return nullptr;
    }
    return Module::menuFor(
        "selection",
        lp::MenuSituationController::situationForSelection(files, caja_file_info_get_location),
        G_OBJECT(window));
}

GList* getBackgroundItems(CajaMenuProvider*, GtkWidget* window, CajaFileInfo* currentFolder) {
    return Module::menuFor(
        "background",
        lp::MenuSituationController::situationForFolder(currentFolder, caja_file_info_get_location),
        G_OBJECT(window));
}

GList* getToolbarItems(CajaMenuProvider*, GtkWidget* window, CajaFileInfo* currentFolder) {
    return Module::toolbarFor(
        lp::MenuSituationController::situationForFolder(currentFolder, caja_file_info_get_location),
        G_OBJECT(window));
}

void initializeMenuProvider(gpointer iface, gpointer) {
    auto* provider = static_cast<CajaMenuProviderIface*>(iface);
    provider->get_file_items = getFileItems;
    provider->get_background_items = getBackgroundItems;
    provider->get_toolbar_items = getToolbarItems;
}

}  // namespace

void caja_module_initialize(GTypeModule* module) {
    const GTypeInfo info = Module::providerTypeInfo();
    providerType = g_type_module_register_type(module, G_TYPE_OBJECT, "QuentaMenuProvider", &info,
                                               static_cast<GTypeFlags>(0));
    const GInterfaceInfo menuProvider = {initializeMenuProvider, nullptr, nullptr};
    g_type_module_add_interface(module, providerType, CAJA_TYPE_MENU_PROVIDER, &menuProvider);
    Module::start();
}

void caja_module_shutdown(void) {
    Module::stop();
}

void caja_module_list_types(const GType** types, int* num_types) {
    *types = &providerType;
    *num_types = 1;
}
