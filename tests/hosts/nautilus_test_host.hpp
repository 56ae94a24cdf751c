#pragma once

#include <glib-object.h>

#include <string>
#include <vector>

typedef struct _NautilusFileInfo NautilusFileInfo;
typedef struct _NautilusMenuItem NautilusMenuItem;

namespace quenta::testing {

// Plays Nautilus for a built module: opens it the way Nautilus does (g_module_open with lazy, local
// binding, the three entry points, one object per listed type), and asks its menu providers for
// items with objects that implement NautilusFileInfo. Main thread only; one host per process, as
// Nautilus loads a module once.
class NautilusTestHost {
  public:
    // Loads the module; `error()` tells what failed when `loaded()` is false.
    explicit NautilusTestHost(const std::string& modulePath);
    // Drops the providers and shuts the module down.
    ~NautilusTestHost();
    NautilusTestHost(const NautilusTestHost&) = delete;
    NautilusTestHost& operator=(const NautilusTestHost&) = delete;

    [[nodiscard]] bool loaded() const { return error_.empty(); }
    [[nodiscard]] const std::string& error() const { return error_; }
    // The names of the types the module listed.
    [[nodiscard]] std::vector<std::string> typeNames() const;

    // The items every menu provider returns, in the order of the providers; the caller owns the
    // list (free it with `freeItems`).
    [[nodiscard]] GList* backgroundItems(NautilusFileInfo* currentFolder);
    [[nodiscard]] GList* fileItems(const std::vector<NautilusFileInfo*>& files);

  private:
    GTypeModule* module_ = nullptr;
    std::vector<GObject*> providers_;
    std::string error_;
};

// A NautilusFileInfo for a location, as Nautilus hands them to extensions: a local path ("/...")
// or any URI ("sftp://host/folder"). The caller owns the reference.
[[nodiscard]] NautilusFileInfo* newFileInfo(const std::string& pathOrUri, bool isDirectory);
void unrefFileInfo(NautilusFileInfo* info);

// The items as an indented tree, one line each: two blanks per submenu level, the label,
// " (disabled)" for an insensitive item, "  -> " and the name for an item without a submenu.
[[nodiscard]] std::string describeItems(GList* items);
// The names of all the items of the tree, depth first.
[[nodiscard]] std::vector<std::string> itemNames(GList* items);
// The item with that name anywhere in the tree, or null.
[[nodiscard]] NautilusMenuItem* findItem(GList* items, const std::string& name);
// Activates the named item as Nautilus does when the user picks it; false when there is none.
bool activateItem(GList* items, const std::string& name);
void freeItems(GList* items);

}  // namespace quenta::testing
