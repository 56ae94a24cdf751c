// The Nautilus (GNOME Files 43) module of the extension: a composition root like quenta-finder.
// When Nautilus loads the module it creates one FinderSync with the Linux adapters; Nautilus then
// asks the module's menu provider for items on every selection change, and the provider renders
// the extension's menu model into NautilusMenuItems: the same titles, order, submenu and enabled
// states, one item per action. Each rendered menu keeps the situation Nautilus reported for it, so
// the item the user activates runs against that situation and not a later one. Nautilus calls all
// of this on its main thread; the update check and the requests to quentaapp run in the background.
#include <glib-object.h>
#include <gmodule.h>

// The header declares the entry points with C++ linkage when compiled as C++; declared here first,
// they keep C linkage and are exported under their plain names.
extern "C" {
G_MODULE_EXPORT void nautilus_module_initialize(GTypeModule* module);
G_MODULE_EXPORT void nautilus_module_shutdown(void);
G_MODULE_EXPORT void nautilus_module_list_types(const GType** types, int* num_types);
}

#include "adapters/linux/curl/lazy_http_client.hpp"
#include "adapters/linux/gio/main_queue_glib.hpp"
#include "adapters/linux/nautilus/desktop_clipboard_pasteboard.hpp"
#include "adapters/linux/nautilus/nautilus_file_controller.hpp"
#include "adapters/linux/posix/defaults_json_file.hpp"
#include "adapters/linux/posix/desktop_folder_query.hpp"
#include "adapters/linux/posix/file_system_posix.hpp"
#include "adapters/linux/posix/freedesktop_icons.hpp"
#include "adapters/linux/posix/install_layout.hpp"
#include "adapters/linux/posix/main_app_launcher.hpp"
#include "adapters/linux/posix/pasteboard_store.hpp"
#include "adapters/linux/posix/project_bundle.hpp"
#include "adapters/linux/posix/syslog_system_log.hpp"
#include "adapters/linux/posix/system_clock.hpp"
#include "core/extension/finder_sync.hpp"

#include <nautilus-extension.h>

#include <memory>
#include <string>
#include <utility>

namespace {

namespace lp = quenta::linux_platform;

// Everything the extension needs, built once when Nautilus loads the module and torn down in
// reverse order when it shuts the module down.
struct Extension {
    lp::PosixFileSystem fileManager;
    lp::SystemClock clock;
    lp::SyslogSystemLog systemLog;
    quenta::ActivityLog log{fileManager, clock, std::string(quenta::FinderSync::kLogFileName),
                            &systemLog, std::string(quenta::FinderSync::kSystemLogPrefix)};
    lp::NautilusFileController controller;
    lp::DesktopFolderQuery frontWindow;
    lp::PasteboardStore store;
    lp::DesktopClipboardPasteboard pasteboard{store};
    lp::MainQueueGlib mainQueue;
    lp::MainAppLauncher launcher{lp::mainApplicationPath(), mainQueue};
    lp::FreedesktopIcons icons;
    lp::DefaultsJsonFile defaults{lp::DefaultsJsonFile::pathForDomain("QuentaFinderExtension")};
    // libcurl is loaded into Nautilus only once an update check is due.
    lp::LazyHttpClient http{mainQueue, lp::httpClientModulePath()};
    lp::ProjectBundle bundle;
    quenta::UpdateChecker updateChecker{defaults, http, mainQueue, clock, bundle};
    quenta::FinderSync finder{
        {fileManager, controller, frontWindow, pasteboard, launcher, icons, log}, updateChecker};
};

// The process's one extension; null before the module is initialized and after its shutdown.
Extension* extension = nullptr;

GType providerType = 0;

// The menu provider Nautilus creates from the listed type: a plain GObject whose class implements
// NautilusMenuProvider; all its state lives in `extension`.
struct QuentaMenuProvider {
    GObject parent;
};
struct QuentaMenuProviderClass {
    GObjectClass parent;
};

// What an activated item runs: its selector against the situation of the menu it belongs to.
struct Activation {
    std::string selector;
    std::shared_ptr<const lp::NautilusSituation> situation;
};

void deleteActivation(gpointer data, GClosure*) {
    delete static_cast<Activation*>(data);
}

void activate(NautilusMenuItem*, gpointer data) {
    const auto* activation = static_cast<const Activation*>(data);
    if (extension == nullptr) {
        return;
    }
    extension->controller.answer(activation->situation);
    (void)extension->finder.perform(activation->selector);
}

// Names must be valid action names (letters, digits and '-') and unique among all the items
// Nautilus holds at once: a folder view keeps one action per item name for its background menu
// and its selection menu together, so the two menus get names of their own ("QuentaExtension-"
// + the menu + "-" + the selector); otherwise an item of the selection menu would run, and be
// enabled, as its namesake of the background menu. Headers and submenu holders are numbered.
struct ItemNames {
    std::string prefix;
    int headers = 0;
    int submenus = 0;

    std::string nameFor(const quenta::MenuItem& item) {
        if (!item.action.empty()) {
            return prefix + item.action;
        }
        if (item.kind == quenta::MenuItem::Kind::header) {
            return prefix + "header" + std::to_string(++headers);
        }
        return prefix + "submenu" + std::to_string(++submenus);
    }
};

NautilusMenuItem* renderItem(const quenta::MenuItem& item,
                             const std::shared_ptr<const lp::NautilusSituation>& situation,
                             ItemNames& names);

// The items of one menu level in the model's order. Nautilus's menus have no separators: the
// disabled group headers mark where a group begins.
GList* renderItems(const std::vector<quenta::MenuItem>& items,
                   const std::shared_ptr<const lp::NautilusSituation>& situation,
                   ItemNames& names) {
    GList* rendered = nullptr;
    for (const auto& item : items) {
        if (item.kind == quenta::MenuItem::Kind::separator) {
            continue;
        }
        rendered = g_list_prepend(rendered, renderItem(item, situation, names));
    }
    return g_list_reverse(rendered);
}

NautilusMenuItem* renderItem(const quenta::MenuItem& item,
                             const std::shared_ptr<const lp::NautilusSituation>& situation,
                             ItemNames& names) {
    const std::string name = names.nameFor(item);
    const char* icon =
        item.image && !item.image->iconName.empty() ? item.image->iconName.c_str() : nullptr;
    NautilusMenuItem* rendered =
        nautilus_menu_item_new(name.c_str(), item.title.c_str(), nullptr, icon);
    g_object_set(rendered, "sensitive", item.isEnabled() ? TRUE : FALSE, nullptr);
    if (!item.submenu.empty()) {
        NautilusMenu* submenu = nautilus_menu_new();
        GList* children = renderItems(item.submenu, situation, names);
        for (GList* node = children; node != nullptr; node = node->next) {
            nautilus_menu_append_item(submenu, static_cast<NautilusMenuItem*>(node->data));
        }
        nautilus_menu_item_list_free(children);
        nautilus_menu_item_set_submenu(rendered, submenu);
        g_object_unref(submenu);
    }
    if (!item.action.empty()) {
        g_signal_connect_data(rendered, "activate", G_CALLBACK(activate),
                              new Activation{item.action, situation}, deleteActivation,
                              static_cast<GConnectFlags>(0));
    }
    return rendered;
}

GList* menuFor(const char* menuName, lp::NautilusSituation reported) {
    if (extension == nullptr) {
        return nullptr;
    }
    auto situation = std::make_shared<const lp::NautilusSituation>(std::move(reported));
    extension->controller.answer(situation);
    const quenta::Menu menu = extension->finder.menu();
    ItemNames names{std::string("QuentaExtension-") + menuName + "-"};
    return renderItems(menu.items, situation, names);
}

// Nautilus also asks with an empty selection; that menu is never shown, the background's is.
GList* getFileItems(NautilusMenuProvider*, GList* files) {
    if (files == nullptr) {
        return nullptr;
    }
    return menuFor("selection", lp::NautilusFileController::situationForSelection(files));
}

GList* getBackgroundItems(NautilusMenuProvider*, NautilusFileInfo* currentFolder) {
    return menuFor("background", lp::NautilusFileController::situationForFolder(currentFolder));
}

void initializeMenuProvider(gpointer iface, gpointer) {
    auto* provider = static_cast<NautilusMenuProviderInterface*>(iface);
    provider->get_file_items = getFileItems;
    provider->get_background_items = getBackgroundItems;
}

void registerProviderType(GTypeModule* module) {
    const GTypeInfo info = {
        sizeof(QuentaMenuProviderClass), nullptr, nullptr, nullptr, nullptr, nullptr,
        sizeof(QuentaMenuProvider),      0,       nullptr, nullptr,
    };
    providerType = g_type_module_register_type(module, G_TYPE_OBJECT, "QuentaMenuProvider", &info,
                                               static_cast<GTypeFlags>(0));
    const GInterfaceInfo menuProvider = {initializeMenuProvider, nullptr, nullptr};
    g_type_module_add_interface(module, providerType, NAUTILUS_TYPE_MENU_PROVIDER, &menuProvider);
}

}  // namespace

void nautilus_module_initialize(GTypeModule* module) {
    registerProviderType(module);
    if (extension == nullptr) {
        extension = new Extension;
    }
}

void nautilus_module_shutdown(void) {
    delete extension;
    extension = nullptr;
}

void nautilus_module_list_types(const GType** types, int* num_types) {
    *types = &providerType;
    *num_types = 1;
}
