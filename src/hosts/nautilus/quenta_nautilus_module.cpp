// The Nautilus (GNOME Files 43) module of the extension: a composition root like quenta-finder.
// When Nautilus loads the module it creates one FinderSync with the Linux adapters; Nautilus then
// asks the module's menu provider for items on every selection change, and the provider renders
// the extension's menu model into NautilusMenuItems: the same titles, order, submenu and enabled
// states, one item per action. Nautilus draws no separators: the disabled group headers mark the
// groups. Each rendered menu keeps the situation Nautilus reported for it, so the item the user
// activates runs against that situation and not a later one. Nautilus calls all of this on its
// main thread; the update check and the requests to quentaapp run in the background.
#include <glib-object.h>
#include <gmodule.h>

// The header declares the entry points with C++ linkage when compiled as C++; declared here first,
// they keep C linkage and are exported under their plain names.
extern "C" {
G_MODULE_EXPORT void nautilus_module_initialize(GTypeModule* module);
G_MODULE_EXPORT void nautilus_module_shutdown(void);
G_MODULE_EXPORT void nautilus_module_list_types(const GType** types, int* num_types);
}

#include "adapters/linux/nautilus/desktop_clipboard_pasteboard.hpp"
#include "hosts/menu_module.hpp"

#include <nautilus-extension.h>

namespace {

namespace lp = quenta::linux_platform;

struct Nautilus {
    using Item = NautilusMenuItem;
    using Clipboard = lp::DesktopClipboardPasteboard;
    using Windows = quenta::hosts::NoWindows;
    static constexpr bool kSeparators = false;
    static constexpr bool kOmitDisabled = false;
    static constexpr bool kGroupsAsSubmenus = false;

    static Item* newItem(const char* name, const char* label, const char* tip, const char* icon) {
        return nautilus_menu_item_new(name, label, tip, icon);
    }
    static Item* newSeparator(const char*) { return nullptr; }
    // The host asks for the items each time it shows a menu.
    static void itemsUpdated(GObject*) {}
    static void setSubmenu(Item* item, GList* children) {
        NautilusMenu* submenu = nautilus_menu_new();
        for (GList* node = children; node != nullptr; node = node->next) {
            nautilus_menu_append_item(submenu, static_cast<NautilusMenuItem*>(node->data));
        }
        nautilus_menu_item_list_free(children);
        nautilus_menu_item_set_submenu(item, submenu);
        g_object_unref(submenu);
    }
};

using Module = quenta::hosts::MenuModule<Nautilus>;

GType providerType = 0;

// Nautilus also asks with an empty selection; that menu is never shown, the background's is.
GList* getFileItems(NautilusMenuProvider*, GList* files) {
    if (files == nullptr) {
        return nullptr;
    }
    return Module::menuFor("selection", lp::MenuSituationController::situationForSelection(
                                            files, nautilus_file_info_get_location));
}

GList* getBackgroundItems(NautilusMenuProvider*, NautilusFileInfo* currentFolder) {
    return Module::menuFor("background", lp::MenuSituationController::situationForFolder(
                                             currentFolder, nautilus_file_info_get_location));
}

void initializeMenuProvider(gpointer iface, gpointer) {
    auto* provider = static_cast<NautilusMenuProviderInterface*>(iface);
    provider->get_file_items = getFileItems;
    provider->get_background_items = getBackgroundItems;
}

}  // namespace

void nautilus_module_initialize(GTypeModule* module) {
    const GTypeInfo info = Module::providerTypeInfo();
    providerType = g_type_module_register_type(module, G_TYPE_OBJECT, "QuentaMenuProvider", &info,
                                               static_cast<GTypeFlags>(0));
    const GInterfaceInfo menuProvider = {initializeMenuProvider, nullptr, nullptr};
    g_type_module_add_interface(module, providerType, NAUTILUS_TYPE_MENU_PROVIDER, &menuProvider);
    Module::start();
}

void nautilus_module_shutdown(void) {
    Module::stop();
}

void nautilus_module_list_types(const GType** types, int* num_types) {
    *types = &providerType;
    *num_types = 1;
}
