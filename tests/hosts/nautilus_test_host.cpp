#include "hosts/nautilus_test_host.hpp"

#include <gmodule.h>

// The test host defines none of the module's entry points; it only calls them through pointers.
#include <nautilus-extension.h>

#include <utility>

namespace quenta::testing {
namespace {

// --- The module as Nautilus holds it: a GTypeModule that opens the shared object on load. ------

using InitializeFunction = void (*)(GTypeModule*);
using ShutdownFunction = void (*)();
using ListTypesFunction = void (*)(const GType**, int*);

struct HostModule {
    GTypeModule parent;
    char* path;
    GModule* library;
    InitializeFunction initialize;
    ShutdownFunction shutdown;
    ListTypesFunction listTypes;
    char* error;
};
struct HostModuleClass {
    GTypeModuleClass parent;
};

HostModule* asHostModule(GTypeModule* module) {
    return reinterpret_cast<HostModule*>(module);
}

template <typename Function>
bool lookUp(GModule* library, const char* name, Function& function) {
    gpointer symbol = nullptr;
    if (g_module_symbol(library, name, &symbol) == FALSE || symbol == nullptr) {
        return false;
    }
    function = reinterpret_cast<Function>(symbol);
    return true;
}

gboolean loadModule(GTypeModule* typeModule) {
    HostModule* module = asHostModule(typeModule);
    module->library = g_module_open(
        module->path, static_cast<GModuleFlags>(G_MODULE_BIND_LAZY | G_MODULE_BIND_LOCAL));
    if (module->library == nullptr) {
        module->error = g_strdup(g_module_error());
        return FALSE;
    }
    if (!lookUp(module->library, "nautilus_module_initialize", module->initialize) ||
        !lookUp(module->library, "nautilus_module_shutdown", module->shutdown) ||
        !lookUp(module->library, "nautilus_module_list_types", module->listTypes)) {
        module->error = g_strdup(g_module_error());
        g_module_close(module->library);
        module->library = nullptr;
        return FALSE;
    }
    module->initialize(typeModule);
    return TRUE;
}

void unloadModule(GTypeModule* typeModule) {
    HostModule* module = asHostModule(typeModule);
    module->shutdown();
    // Kept mapped, as Nautilus keeps its modules: the types it registered stay in use.
    g_module_make_resident(module->library);
    g_module_close(module->library);
    module->library = nullptr;
}

void finalizeModule(GObject* object) {
    HostModule* module = reinterpret_cast<HostModule*>(object);
    g_free(module->path);
    g_free(module->error);
    GObjectClass* parent = G_OBJECT_CLASS(g_type_class_peek_parent(G_OBJECT_GET_CLASS(object)));
    parent->finalize(object);
}

void initializeModuleClass(gpointer klass, gpointer) {
    auto* typeModuleClass = static_cast<GTypeModuleClass*>(klass);
    typeModuleClass->load = loadModule;
    typeModuleClass->unload = unloadModule;
    static_cast<GObjectClass*>(klass)->finalize = finalizeModule;
}

GType hostModuleType() {
    static const GType type = [] {
        const GTypeInfo info = {sizeof(HostModuleClass),
                                nullptr,
                                nullptr,
                                initializeModuleClass,
                                nullptr,
                                nullptr,
                                sizeof(HostModule),
                                0,
                                nullptr,
                                nullptr};
        return g_type_register_static(G_TYPE_TYPE_MODULE, "QuentaTestHostModule", &info,
                                      static_cast<GTypeFlags>(0));
    }();
    return type;
}

// --- NautilusFileInfo for a location. ----------------------------------------------------------

struct FileInfo {
    GObject parent;
    GFile* location;
    gboolean directory;
};
struct FileInfoClass {
    GObjectClass parent;
};

FileInfo* asFileInfo(NautilusFileInfo* info) {
    return reinterpret_cast<FileInfo*>(info);
}

gboolean fileIsGone(NautilusFileInfo*) {
    return FALSE;
}
char* fileName(NautilusFileInfo* info) {
    return g_file_get_basename(asFileInfo(info)->location);
}
char* fileUri(NautilusFileInfo* info) {
    return g_file_get_uri(asFileInfo(info)->location);
}
char* fileParentUri(NautilusFileInfo* info) {
    GFile* parent = g_file_get_parent(asFileInfo(info)->location);
    char* uri = parent != nullptr ? g_file_get_uri(parent) : g_strdup("");
    if (parent != nullptr) {
        g_object_unref(parent);
    }
    return uri;
}
char* fileUriScheme(NautilusFileInfo* info) {
    return g_file_get_uri_scheme(asFileInfo(info)->location);
}
char* fileMimeType(NautilusFileInfo* info) {
    return g_strdup(asFileInfo(info)->directory != FALSE ? "inode/directory"
                                                         : "application/octet-stream");
}
gboolean fileIsMimeType(NautilusFileInfo* info, const char* mimeType) {
    char* own = fileMimeType(info);
    const gboolean same = g_strcmp0(own, mimeType) == 0 ? TRUE : FALSE;
    g_free(own);
    return same;
}
gboolean fileIsDirectory(NautilusFileInfo* info) {
    return asFileInfo(info)->directory;
}
void fileAddEmblem(NautilusFileInfo*, const char*) {}
char* fileStringAttribute(NautilusFileInfo*, const char*) {
    return nullptr;
}
void fileAddStringAttribute(NautilusFileInfo*, const char*, const char*) {}
void fileInvalidate(NautilusFileInfo*) {}
GFileType fileType(NautilusFileInfo* info) {
    return asFileInfo(info)->directory != FALSE ? G_FILE_TYPE_DIRECTORY : G_FILE_TYPE_REGULAR;
}
GFile* fileLocation(NautilusFileInfo* info) {
    return G_FILE(g_object_ref(asFileInfo(info)->location));
}
GFile* fileParentLocation(NautilusFileInfo* info) {
    return g_file_get_parent(asFileInfo(info)->location);
}
NautilusFileInfo* fileParentInfo(NautilusFileInfo* info) {
    GFile* parent = g_file_get_parent(asFileInfo(info)->location);
    if (parent == nullptr) {
        return nullptr;
    }
    char* uri = g_file_get_uri(parent);
    g_object_unref(parent);
    NautilusFileInfo* parentInfo = newFileInfo(uri, true);
    g_free(uri);
    return parentInfo;
}
GMount* fileMount(NautilusFileInfo*) {
    return nullptr;
}
gboolean fileCanWrite(NautilusFileInfo*) {
    return TRUE;
}

void initializeFileInfoInterface(gpointer iface, gpointer) {
    auto* info = static_cast<NautilusFileInfoInterface*>(iface);
    info->is_gone = fileIsGone;
    info->get_name = fileName;
    info->get_uri = fileUri;
    info->get_parent_uri = fileParentUri;
    info->get_uri_scheme = fileUriScheme;
    info->get_mime_type = fileMimeType;
    info->is_mime_type = fileIsMimeType;
    info->is_directory = fileIsDirectory;
    info->add_emblem = fileAddEmblem;
    info->get_string_attribute = fileStringAttribute;
    info->add_string_attribute = fileAddStringAttribute;
    info->invalidate_extension_info = fileInvalidate;
    info->get_activation_uri = fileUri;
    info->get_file_type = fileType;
    info->get_location = fileLocation;
    info->get_parent_location = fileParentLocation;
    info->get_parent_info = fileParentInfo;
    info->get_mount = fileMount;
    info->can_write = fileCanWrite;
}

void finalizeFileInfo(GObject* object) {
    g_object_unref(reinterpret_cast<FileInfo*>(object)->location);
    GObjectClass* parent = G_OBJECT_CLASS(g_type_class_peek_parent(G_OBJECT_GET_CLASS(object)));
    parent->finalize(object);
}

void initializeFileInfoClass(gpointer klass, gpointer) {
    static_cast<GObjectClass*>(klass)->finalize = finalizeFileInfo;
}

GType fileInfoType() {
    static const GType type = [] {
        const GTypeInfo info = {sizeof(FileInfoClass),
                                nullptr,
                                nullptr,
                                initializeFileInfoClass,
                                nullptr,
                                nullptr,
                                sizeof(FileInfo),
                                0,
                                nullptr,
                                nullptr};
        const GType registered = g_type_register_static(G_TYPE_OBJECT, "QuentaTestFileInfo", &info,
                                                        static_cast<GTypeFlags>(0));
        const GInterfaceInfo fileInfo = {initializeFileInfoInterface, nullptr, nullptr};
        g_type_add_interface_static(registered, NAUTILUS_TYPE_FILE_INFO, &fileInfo);
        return registered;
    }();
    return type;
}

// --- Reading the items back. -------------------------------------------------------------------

std::string stringProperty(GObject* object, const char* name) {
    char* value = nullptr;
    g_object_get(object, name, &value, nullptr);
    std::string text = value != nullptr ? value : "";
    g_free(value);
    return text;
}

void describeInto(GList* items, int depth, std::string& text) {
    for (GList* node = items; node != nullptr; node = node->next) {
        GObject* item = G_OBJECT(node->data);
        gboolean sensitive = TRUE;
        NautilusMenu* submenu = nullptr;
        g_object_get(item, "sensitive", &sensitive, "menu", &submenu, nullptr);
        text.append(static_cast<std::size_t>(depth) * 2, ' ');
        text += stringProperty(item, "label");
        if (submenu == nullptr) {
            text += "  -> " + stringProperty(item, "name");
        }
        if (sensitive == FALSE) {
            text += " (disabled)";
        }
        text += "\n";
        if (submenu != nullptr) {
            GList* children = nautilus_menu_get_items(submenu);
            describeInto(children, depth + 1, text);
            nautilus_menu_item_list_free(children);
            g_object_unref(submenu);
        }
    }
}

}  // namespace

NautilusTestHost::NautilusTestHost(const std::string& modulePath) {
    module_ = G_TYPE_MODULE(g_object_new(hostModuleType(), nullptr));
    HostModule* module = asHostModule(module_);
    module->path = g_strdup(modulePath.c_str());
    g_type_module_set_name(module_, modulePath.c_str());
    if (g_type_module_use(module_) == FALSE) {
        error_ = module->error != nullptr ? module->error : "the module could not be loaded";
        return;
    }
    const GType* types = nullptr;
    int count = 0;
    module->listTypes(&types, &count);
    for (int i = 0; i < count; ++i) {
        providers_.push_back(G_OBJECT(g_object_new(types[i], nullptr)));
    }
    if (providers_.empty()) {
        error_ = "the module lists no types";
    }
}

NautilusTestHost::~NautilusTestHost() {
    for (GObject* provider : providers_) {
        g_object_unref(provider);
    }
    if (asHostModule(module_)->library != nullptr) {
        g_type_module_unuse(module_);
    }
    // The type module itself stays, as GLib requires of a module whose types were registered.
}

std::vector<std::string> NautilusTestHost::typeNames() const {
    std::vector<std::string> names;
    for (GObject* provider : providers_) {
        names.emplace_back(G_OBJECT_TYPE_NAME(provider));
    }
    return names;
}

GList* NautilusTestHost::backgroundItems(NautilusFileInfo* currentFolder) {
    GList* items = nullptr;
    for (GObject* provider : providers_) {
        if (NAUTILUS_IS_MENU_PROVIDER(provider)) {
            items = g_list_concat(items, nautilus_menu_provider_get_background_items(
                                             NAUTILUS_MENU_PROVIDER(provider), currentFolder));
        }
    }
    return items;
}

GList* NautilusTestHost::fileItems(const std::vector<NautilusFileInfo*>& files) {
    GList* list = nullptr;
    for (auto it = files.rbegin(); it != files.rend(); ++it) {
        list = g_list_prepend(list, *it);
    }
    GList* items = nullptr;
    for (GObject* provider : providers_) {
        if (NAUTILUS_IS_MENU_PROVIDER(provider)) {
            items = g_list_concat(items, nautilus_menu_provider_get_file_items(
                                             NAUTILUS_MENU_PROVIDER(provider), list));
        }
    }
    g_list_free(list);
    return items;
}

NautilusFileInfo* newFileInfo(const std::string& pathOrUri, bool isDirectory) {
    auto* info = static_cast<FileInfo*>(g_object_new(fileInfoType(), nullptr));
    info->location = pathOrUri.rfind('/', 0) == 0 ? g_file_new_for_path(pathOrUri.c_str())
                                                  : g_file_new_for_uri(pathOrUri.c_str());
    info->directory = isDirectory ? TRUE : FALSE;
    return reinterpret_cast<NautilusFileInfo*>(info);
}

void unrefFileInfo(NautilusFileInfo* info) {
    g_object_unref(info);
}

std::string describeItems(GList* items) {
    std::string text;
    describeInto(items, 0, text);
    return text;
}

std::vector<std::string> itemNames(GList* items) {
    std::vector<std::string> names;
    for (GList* node = items; node != nullptr; node = node->next) {
        names.push_back(stringProperty(G_OBJECT(node->data), "name"));
        NautilusMenu* submenu = nullptr;
        g_object_get(node->data, "menu", &submenu, nullptr);
        if (submenu != nullptr) {
            GList* children = nautilus_menu_get_items(submenu);
            for (auto& child : itemNames(children)) {
                names.push_back(std::move(child));
            }
            nautilus_menu_item_list_free(children);
            g_object_unref(submenu);
        }
    }
    return names;
}

NautilusMenuItem* findItem(GList* items, const std::string& name) {
    for (GList* node = items; node != nullptr; node = node->next) {
        auto* item = static_cast<NautilusMenuItem*>(node->data);
        if (stringProperty(G_OBJECT(item), "name") == name) {
            return item;
        }
        NautilusMenu* submenu = nullptr;
        g_object_get(item, "menu", &submenu, nullptr);
        if (submenu != nullptr) {
            GList* children = nautilus_menu_get_items(submenu);
            NautilusMenuItem* found = findItem(children, name);
            nautilus_menu_item_list_free(children);
            g_object_unref(submenu);
            if (found != nullptr) {
                return found;
            }
        }
    }
    return nullptr;
}

bool activateItem(GList* items, const std::string& name) {
    NautilusMenuItem* item = findItem(items, name);
    if (item == nullptr) {
        return false;
    }
    nautilus_menu_item_activate(item);
    return true;
}

void freeItems(GList* items) {
    nautilus_menu_item_list_free(items);
}

}  // namespace quenta::testing
