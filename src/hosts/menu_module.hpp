#pragma once

// What the file-manager modules (Nemo, Caja, Thunar) have in common: the one extension each
// builds when its host loads it, and the walk that renders the extension's menu model into the
// host's menu items. A module supplies a small host description (its item type, how to create an
// item, a separator and a submenu, and what its host draws) and its own entry points and GType
// registration. Every call comes on the host's main thread.
#include "adapters/linux/curl/lazy_http_client.hpp"
#include "adapters/linux/gio/main_queue_glib.hpp"
#include "adapters/linux/gio/menu_situation_controller.hpp"
#include "adapters/linux/posix/defaults_json_file.hpp"
#include "adapters/linux/posix/desktop_folder_query.hpp"
#include "adapters/linux/posix/file_system_posix.hpp"
#include "adapters/linux/posix/freedesktop_icons.hpp"
#include "adapters/linux/posix/gettext_localizer.hpp"
#include "adapters/linux/posix/install_layout.hpp"
#include "adapters/linux/posix/main_app_launcher.hpp"
#include "adapters/linux/posix/pasteboard_store.hpp"
#include "adapters/linux/posix/project_bundle.hpp"
#include "adapters/linux/posix/syslog_system_log.hpp"
#include "adapters/linux/posix/system_clock.hpp"
#include "core/extension/finder_sync.hpp"

#include <gio/gio.h>
#include <glib-object.h>

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace quenta::hosts {

namespace lp = quenta::linux_platform;

// Everything the extension needs, built once when the host loads the module and torn down in
// reverse order when it shuts the module down. `Clipboard` is the pasteboard of the host's toolkit.
template <class Clipboard>
struct ModuleExtension {
    lp::PosixFileSystem fileSystem;
    lp::SystemClock clock;
    lp::SyslogSystemLog systemLog;
    ActivityLog log{fileSystem, clock, std::string(FinderSync::kLogFileName), &systemLog,
                    std::string(FinderSync::kSystemLogPrefix)};
    lp::MenuSituationController controller;
    lp::DesktopFolderQuery frontWindow;
    lp::PasteboardStore store;
    Clipboard pasteboard{store};
    // Before the launcher: the launcher delivers its completions through it.
    lp::MainQueueGlib mainQueue;
    lp::MainAppLauncher launcher{lp::mainApplicationPath(), mainQueue};
    lp::FreedesktopIcons icons;
    lp::DefaultsJsonFile defaults{lp::DefaultsJsonFile::pathForDomain("QuentaFinderExtension")};
    // libcurl is loaded into the host only once an update check is due.
    lp::LazyHttpClient http{mainQueue, lp::httpClientModulePath()};
    lp::ProjectBundle bundle;
    UpdateChecker updateChecker{defaults, http, mainQueue, clock, bundle};
    // The menu in the language of the host's locale, which the host has set.
    lp::GettextLocalizer localizer{lp::localeDirectory()};
    FinderSync finder{
        {fileSystem, controller, frontWindow, pasteboard, launcher, icons, log, localizer},
        updateChecker};
};

// Names unique among the items a host holds at once (hosts keep one action per item name for a
// folder's background menu and its selection menu together): "QuentaExtension-" + the menu + "-"
// + the selector; headers, separators and submenu holders are numbered.
struct ItemNames {
    std::string prefix;
    int headers = 0;
    int separators = 0;
    int submenus = 0;

    std::string nameFor(const MenuItem& item) {
        if (!item.action.empty()) {
            return prefix + item.action;
        }
        switch (item.kind) {
            case MenuItem::Kind::header:
                return prefix + "header" + std::to_string(++headers);
            case MenuItem::Kind::separator:
                return prefix + "separator" + std::to_string(++separators);
            case MenuItem::Kind::item:
                break;
        }
        return prefix + "submenu" + std::to_string(++submenus);
    }
};

// The windows of a host whose own org.freedesktop.FileManager1 shows new items in the window
// showing their folder: nothing to remember.
struct NoWindows {
    void commandGiven(GObject* /*window*/, const std::optional<std::string>& /*folder*/) {}
};

// A weak reference to a GObject that copies of a callback share.
class SharedWeakRef {
  public:
    explicit SharedWeakRef(GObject* object) { g_weak_ref_init(&ref_, object); }
    ~SharedWeakRef() { g_weak_ref_clear(&ref_); }
    SharedWeakRef(const SharedWeakRef&) = delete;
    SharedWeakRef& operator=(const SharedWeakRef&) = delete;

    // A new reference, or null once the object is gone.
    [[nodiscard]] GObject* take() { return static_cast<GObject*>(g_weak_ref_get(&ref_)); }

  private:
    GWeakRef ref_{};
};

// The module of one host. `Host` describes it:
//   using Item = ...;                         the host's menu-item type (a GObject)
//   using Clipboard = ...;                    the pasteboard of its toolkit
//   using Windows = ...;                      remembers the windows commands were given in
//                                             (`commandGiven(GObject* window, folder)`)
//   static constexpr bool kSeparators;        whether it draws separator items
//   static constexpr bool kOmitDisabled;      whether disabled actions are left out (the host
//                                             would run them anyway)
//   static constexpr bool kGroupsAsSubmenus;  whether each header holds the items after it (up to
//                                             the next header or separator) as a submenu, for a
//                                             host that draws a header like an item
//   static Item* newItem(name, label, tip, icon);   tip never null, icon may be
//   static Item* newSeparator(name);          only called when kSeparators
//   static void setSubmenu(Item*, GList* children); takes the children
//   static void itemsUpdated(GObject* provider);   tells the host to ask for the items again
template <class Host>
class MenuModule {
  public:
    using Item = typename Host::Item;

    static void start() {
        if (extension_ == nullptr) {
            extension_ = new ModuleExtension<typename Host::Clipboard>;
            windows_ = new typename Host::Windows;
            watchPasteboard();
        }
    }
    static void stop() {
        if (storeMonitor_ != nullptr) {
            g_file_monitor_cancel(storeMonitor_);
            g_clear_object(&storeMonitor_);
        }
        if (pendingAsk_ != 0) {
            g_source_remove(pendingAsk_);
            pendingAsk_ = 0;
        }
        delete windows_;
        windows_ = nullptr;
        delete extension_;
        extension_ = nullptr;
    }

    // The paste item's state follows the pasteboard: a cut or a paste in another process (the
    // application clears the cut it pasted) and a cut of files on the desktop clipboard made by
    // a file manager's own command. Hosts that keep a menu are asked again when either changes.
    static void watchPasteboard() {
        extension_->pasteboard.onDesktopCutChanged(askProvidersAgain);
        GFile* folder = g_file_new_for_path(extension_->store.folder().c_str());
        storeMonitor_ = g_file_monitor_directory(folder, G_FILE_MONITOR_NONE, nullptr, nullptr);
        g_object_unref(folder);
        if (storeMonitor_ != nullptr) {
            g_signal_connect(storeMonitor_, "changed",
                             G_CALLBACK(+[](GFileMonitor*, GFile*, GFile*, GFileMonitorEvent,
                                            gpointer) { askProvidersAgain(); }),
                             nullptr);
        }
    }

    // Tells every provider's host to ask for the items again, once for a burst of changes.
    static void askProvidersAgain() {
        if (pendingAsk_ != 0) {
            return;
        }
        pendingAsk_ = g_idle_add(
            [](gpointer) -> gboolean {
                pendingAsk_ = 0;
                for (GObject* provider : providers()) {
                    Host::itemsUpdated(provider);
                }
                return G_SOURCE_REMOVE;
            },
            nullptr);
    }

    // The instance initializer of the module's provider type: the module remembers its providers
    // (the hosts create one per listed type) to tell them when its items have changed.
    static void trackProvider(GTypeInstance* instance, gpointer) {
        providers().insert(G_OBJECT(instance));
        g_object_weak_ref(G_OBJECT(instance), forgetProvider, nullptr);
    }

    // The description of the module's provider type, which every host registers under the name
    // "QuentaMenuProvider": a plain GObject, tracked as it is created, that implements the host's
    // menu-provider interface.
    static GTypeInfo providerTypeInfo() {
        struct Provider {
            GObject parent;
        };
        struct ProviderClass {
            GObjectClass parent;
        };
        return {sizeof(ProviderClass), nullptr, nullptr,       nullptr, nullptr, nullptr,
                sizeof(Provider),      0,       trackProvider, nullptr};
    }

    // The items of the menu `menuName` ("background", "selection") for what the host reported
    // in `window` (a widget of the host's window; none where the host does not say).
    static GList* menuFor(const char* menuName, lp::MenuSituation reported,
                          GObject* window = nullptr) {
        if (extension_ == nullptr) {
            return nullptr;
        }
        const auto situation = answer(std::move(reported));
        const Menu menu = extension_->finder.menu();
        ItemNames names{std::string("QuentaExtension-") + menuName + "-"};
        return renderItems(menu.items, {situation, window}, names);
    }

    // The toolbar button: the extension's name, tool tip and icon, holding the same menu. A host
    // that draws the button without its submenu (Caja) only activates it: the button then has the
    // host pop the menu up (`Host::popUpMenu(items, window, run)`, `run` taking an item's
    // selector), as the background menu would show it.
    static GList* toolbarFor(lp::MenuSituation reported, GObject* window) {
        if (extension_ == nullptr) {
            return nullptr;
        }
        const auto situation = answer(std::move(reported));
        FinderSync& finder = extension_->finder;
        const MenuImage image = finder.toolbarItemImage();
        Item* button = Host::newItem("QuentaExtension-toolbar", finder.toolbarItemName().c_str(),
                                     finder.toolbarItemToolTip().c_str(), image.iconName.c_str());
        ItemNames names{"QuentaExtension-toolbar-"};
        Host::setSubmenu(button, renderItems(finder.menu().items, {situation, window}, names));
        g_signal_connect_data(button, "activate", G_CALLBACK(popUpToolbarMenu),
                              new Activation("", {situation, window}), deleteActivation,
                              static_cast<GConnectFlags>(0));
        return g_list_append(nullptr, button);
    }

  private:
    // What a rendered menu was built for: the situation and the host's window it was shown in.
    struct Origin {
        std::shared_ptr<const lp::MenuSituation> situation;
        GObject* window;
    };

    // What an activated item runs: its selector against the situation of the menu it belongs to;
    // the window is held weakly, as the item may outlive it.
    struct Activation {
        Activation(std::string item, const Origin& origin)
            : selector(std::move(item)), situation(origin.situation) {
            g_weak_ref_init(&window, origin.window);
        }
        ~Activation() { g_weak_ref_clear(&window); }
        Activation(const Activation&) = delete;
        Activation& operator=(const Activation&) = delete;

        // The window, a new reference, or null once it is gone.
        [[nodiscard]] GObject* takeWindow() const {
            return static_cast<GObject*>(g_weak_ref_get(const_cast<GWeakRef*>(&window)));
        }

        std::string selector;
        std::shared_ptr<const lp::MenuSituation> situation;
        GWeakRef window;
    };

    static std::set<GObject*>& providers() {
        static auto* live = new std::set<GObject*>;  // outlives providers the host frees late
        return *live;
    }
    static void forgetProvider(gpointer, GObject* provider) { providers().erase(provider); }

    static std::shared_ptr<const lp::MenuSituation> answer(lp::MenuSituation reported) {
        auto situation = std::make_shared<const lp::MenuSituation>(std::move(reported));
        extension_->controller.answer(situation);
        return situation;
    }

    static void activate(GObject*, gpointer data) {
        const auto* activation = static_cast<const Activation*>(data);
        GObject* window = activation->takeWindow();
        run(activation->selector, activation->situation, window);
        g_clear_object(&window);
    }

    // Runs an item's selector against the situation of its menu, shown in `window` (may be null).
    static void run(const std::string& selector,
                    const std::shared_ptr<const lp::MenuSituation>& situation, GObject* window) {
        if (extension_ == nullptr) {
            return;
        }
        extension_->controller.answer(situation);
        // Before the command: the application may reveal its result at once.
        windows_->commandGiven(window, situation->targeted);
        quenta::ignoreResult(
            extension_->finder.perform(selector),
            "the action logs its own failure; the file manager has no place to show it");
        // What the item did may change the menus (a cut enables paste, a paste or a copy of the
        // path ends the cut); hosts that keep a menu until they are told (Nemo and Caja keep a
        // folder's background menu from the moment it loads) ask again.
        for (GObject* provider : providers()) {
            Host::itemsUpdated(provider);
        }
    }

    static void deleteActivation(gpointer data, GClosure*) {
        delete static_cast<Activation*>(data);
    }

    // The menu of the toolbar button, built afresh for the situation the button was made for.
    static void popUpToolbarMenu(GObject*, gpointer data) {
        const auto* activation = static_cast<const Activation*>(data);
        if (extension_ == nullptr) {
            return;
        }
        extension_->controller.answer(activation->situation);
        GObject* window = activation->takeWindow();
        Host::popUpMenu(
            extension_->finder.menu().items, window,
            [situation = activation->situation,
             origin = std::make_shared<SharedWeakRef>(window)](const std::string& selector) {
                GObject* shown = origin->take();
                run(selector, situation, shown);
                g_clear_object(&shown);
            });
        g_clear_object(&window);
    }

    // The items of one menu level in the model's order.
    static GList* renderItems(const std::vector<MenuItem>& items, const Origin& origin,
                              ItemNames& names) {
        GList* rendered = nullptr;
        for (std::size_t i = 0; i < items.size(); ++i) {
            Item* made = nullptr;
            if (Host::kGroupsAsSubmenus && items[i].kind == MenuItem::Kind::header) {
                MenuItem group{MenuItem::Kind::item, items[i].title, "",
                               items[i].image,       std::nullopt,   {}};
                while (i + 1 < items.size() && items[i + 1].kind == MenuItem::Kind::item) {
                    group.submenu.push_back(items[++i]);
                }
                made = renderItem(group, origin, names);
            } else {
                made = renderItem(items[i], origin, names);
            }
            if (made != nullptr) {
                rendered = g_list_prepend(rendered, made);
            }
        }
        return g_list_reverse(rendered);
    }

    static Item* renderItem(const MenuItem& item, const Origin& origin, ItemNames& names) {
        if (item.kind == MenuItem::Kind::separator) {
            if constexpr (Host::kSeparators) {
                return Host::newSeparator(names.nameFor(item).c_str());
            } else {
                return nullptr;
            }
        }
        if (Host::kOmitDisabled && !item.action.empty() && !item.isEnabled()) {
            return nullptr;
        }
        const std::string name = names.nameFor(item);
        const char* icon =
            item.image && !item.image->iconName.empty() ? item.image->iconName.c_str() : nullptr;
        Item* rendered = Host::newItem(name.c_str(), item.title.c_str(), "", icon);
        g_object_set(rendered, "sensitive", item.isEnabled() ? TRUE : FALSE, nullptr);
        if (!item.submenu.empty()) {
            Host::setSubmenu(rendered, renderItems(item.submenu, origin, names));
        }
        if (!item.action.empty()) {
            g_signal_connect_data(rendered, "activate", G_CALLBACK(activate),
                                  new Activation(item.action, origin), deleteActivation,
                                  static_cast<GConnectFlags>(0));
        }
        return rendered;
    }

    static inline ModuleExtension<typename Host::Clipboard>* extension_ = nullptr;
    // The windows where commands were given, offered to the application's reveals.
    static inline typename Host::Windows* windows_ = nullptr;
    static inline GFileMonitor* storeMonitor_ = nullptr;
    static inline guint pendingAsk_ = 0;
};

}  // namespace quenta::hosts
