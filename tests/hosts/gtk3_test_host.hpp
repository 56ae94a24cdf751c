#pragma once

#include <gio/gio.h>
#include <glib-object.h>

#include <memory>
#include <string>
#include <vector>

namespace quenta::testing {

// What a GTK 3 file manager (Nemo, Caja, Thunar) draws of a module's items.
struct HostTraits {
    std::string name;               // "nemo"
    bool separators = false;        // separator items are drawn
    bool omitsDisabled = false;     // disabled actions are left out: the host would run them
    bool toolbar = false;           // the module offers a toolbar button
    bool keepsMenus = false;        // keeps its menus until the provider emits "items-updated"
    bool groupsAsSubmenus = false;  // each group of file kinds is a submenu titled by its header
};

// Plays one GTK 3 file manager for its built module: opens it the way the host does (a
// GTypeModule that g_module_opens it with lazy, local binding and calls its three entry points),
// creates one object per listed type, and asks the menu providers for items with file-info objects
// of the host's interface that know their location. Main thread only; one host per process.
class Gtk3TestHost {
  public:
    virtual ~Gtk3TestHost() = default;

    [[nodiscard]] virtual const HostTraits& traits() const = 0;
    // Empty when the module loaded and listed a type.
    [[nodiscard]] virtual const std::string& error() const = 0;
    [[nodiscard]] virtual std::vector<std::string> typeNames() const = 0;

    // The items the providers return (the caller frees them with `freeItems`); a location is a
    // local path ("/...") or any URI.
    [[nodiscard]] virtual GList* backgroundItems(const std::string& folder) = 0;
    [[nodiscard]] virtual GList* fileItems(const std::vector<std::string>& files) = 0;
    [[nodiscard]] virtual GList* toolbarItems(const std::string& folder) = 0;
    // How often the providers emitted "items-updated" (hosts that keep their menus only).
    [[nodiscard]] int itemsUpdated() const { return itemsUpdated_; }

    // An item's submenu items (null: none; freed with `freeItems`), whether it is a separator,
    // activating it as the host does, and freeing a list.
    [[nodiscard]] virtual GList* submenu(GObject* item) = 0;
    [[nodiscard]] virtual bool isSeparator(GObject* item) = 0;
    virtual void activate(GObject* item) = 0;
    virtual void freeItems(GList* items) = 0;

    // The items as an indented tree, one line each: two blanks per level, the label, "  -> " and
    // the name for an item without a submenu, " (disabled)" for an insensitive item, "--" for a
    // separator.
    [[nodiscard]] std::string describe(GList* items);
    // The names of all the items of the tree, depth first.
    [[nodiscard]] std::vector<std::string> names(GList* items);
    // Activates the named item anywhere in the tree; false when there is none.
    bool activate(GList* items, const std::string& name);
    // A string property of an item ("" when unset).
    [[nodiscard]] static std::string property(GObject* item, const char* name);

  protected:
    int itemsUpdated_ = 0;
};

// The host of this test program, for the module at `modulePath` (defined per file manager).
std::unique_ptr<Gtk3TestHost> makeTestHost(const std::string& modulePath);

}  // namespace quenta::testing

namespace quenta::testing {

// Building blocks of the hosts' implementations.

// The module as the host holds it: a GTypeModule that opens the shared object on first use and
// calls its entry points `<initialize>(module)`, `<shutdown>()` and `<listTypes>(types, count)`;
// one object per listed type. `moduleInterfaces` adds what else the host's module object
// implements (Thunar's provider plug-in).
class LoadedModule {
  public:
    LoadedModule(const std::string& path, const char* initialize, const char* shutdown,
                 const char* listTypes, void (*moduleInterfaces)(GType) = nullptr);
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    [[nodiscard]] const std::string& error() const { return error_; }
    [[nodiscard]] const std::vector<GObject*>& providers() const { return providers_; }
    [[nodiscard]] std::vector<std::string> typeNames() const;

  private:
    GTypeModule* module_ = nullptr;
    std::vector<GObject*> providers_;
    std::string error_;
};

// A file-info type implementing the host's interface `iface`; `initialize` fills its vtable, whose
// get_location may be `fileInfoLocation`.
[[nodiscard]] GType fileInfoType(const char* typeName, GType iface, GInterfaceInitFunc initialize);
// A file-info object of that type for a local path ("/...") or any URI.
[[nodiscard]] GObject* newFileInfo(GType type, const std::string& pathOrUri);
// The object's location, a new reference.
[[nodiscard]] GFile* fileInfoLocation(gpointer info);

// The locations as a list of new file-info objects, and releasing it.
[[nodiscard]] GList* newFileInfoList(GType type, const std::vector<std::string>& locations);
void freeFileInfoList(GList* infos);

}  // namespace quenta::testing

namespace quenta::testing {

// The test host of one file manager, from a description of its extension API:
//   static HostTraits traits(); static const char* kEntryPoints[3];
//   static void moduleInterfaces(GType) (may do nothing); static GType fileInfoType();
//   static bool isMenuProvider(GObject*);
//   static GList* background(GObject* provider, GObject* folder);
//   static GList* files(GObject* provider, GList* infos);
//   static GList* toolbar(GObject* provider, GObject* folder);   null where there is none
//   static GList* submenu(GObject* item); static bool isSeparator(GObject* item);
//   static void activate(GObject* item); static void freeItems(GList* items);
template <class Api>
class TestHostFor : public Gtk3TestHost {
  public:
    explicit TestHostFor(const std::string& modulePath)
        : module_(modulePath, Api::kEntryPoints[0], Api::kEntryPoints[1], Api::kEntryPoints[2],
                  Api::moduleInterfaces),
          traits_(Api::traits()) {
        if (traits_.keepsMenus) {
            for (GObject* provider : module_.providers()) {
                g_signal_connect_swapped(provider, "items-updated",
                                         G_CALLBACK(+[](int* count) { ++*count; }), &itemsUpdated_);
            }
        }
    }

    [[nodiscard]] const HostTraits& traits() const override { return traits_; }
    [[nodiscard]] const std::string& error() const override { return module_.error(); }
    [[nodiscard]] std::vector<std::string> typeNames() const override {
        return module_.typeNames();
    }
    [[nodiscard]] GList* backgroundItems(const std::string& folder) override {
        return askFolder(folder, Api::background);
    }
    [[nodiscard]] GList* toolbarItems(const std::string& folder) override {
        return askFolder(folder, Api::toolbar);
    }
    [[nodiscard]] GList* fileItems(const std::vector<std::string>& files) override {
        GList* infos = newFileInfoList(Api::fileInfoType(), files);
        GList* items = nullptr;
        for (GObject* provider : module_.providers()) {
            if (Api::isMenuProvider(provider)) {
                items = g_list_concat(items, Api::files(provider, infos));
            }
        }
        freeFileInfoList(infos);
        return items;
    }
    [[nodiscard]] GList* submenu(GObject* item) override { return Api::submenu(item); }
    [[nodiscard]] bool isSeparator(GObject* item) override { return Api::isSeparator(item); }
    void activate(GObject* item) override { Api::activate(item); }
    void freeItems(GList* items) override { Api::freeItems(items); }
    using Gtk3TestHost::activate;

  private:
    GList* askFolder(const std::string& folder, GList* (*ask)(GObject*, GObject*)) {
        GObject* info = newFileInfo(Api::fileInfoType(), folder);
        GList* items = nullptr;
        for (GObject* provider : module_.providers()) {
            if (Api::isMenuProvider(provider)) {
                items = g_list_concat(items, ask(provider, info));
            }
        }
        g_object_unref(info);
        return items;
    }

    LoadedModule module_;
    HostTraits traits_;
};

}  // namespace quenta::testing
