#include "hosts/gtk3_test_host.hpp"

namespace quenta::testing {

std::string Gtk3TestHost::property(GObject* item, const char* name) {
    char* value = nullptr;
    g_object_get(item, name, &value, nullptr);
    std::string text = value != nullptr ? value : "";
    g_free(value);
    return text;
}

namespace {

void describeInto(Gtk3TestHost& host, GList* items, int depth, std::string& text) {
    for (GList* node = items; node != nullptr; node = node->next) {
        auto* item = G_OBJECT(node->data);
        text.append(static_cast<std::size_t>(depth) * 2, ' ');
        if (host.isSeparator(item)) {
            text += "--\n";
            continue;
        }
        gboolean sensitive = TRUE;
        g_object_get(item, "sensitive", &sensitive, nullptr);
        text += Gtk3TestHost::property(item, "label");
        GList* children = host.submenu(item);
        if (children == nullptr) {
            text += "  -> " + Gtk3TestHost::property(item, "name");
        }
        text += sensitive == FALSE ? " (disabled)\n" : "\n";
        if (children != nullptr) {
            describeInto(host, children, depth + 1, text);
            host.freeItems(children);
        }
    }
}

// Calls `visit` on every item of the tree, depth first, until it returns true.
template <typename Visit>
bool walk(Gtk3TestHost& host, GList* items, const Visit& visit) {
    for (GList* node = items; node != nullptr; node = node->next) {
        auto* item = G_OBJECT(node->data);
        if (visit(item)) {
            return true;
        }
        GList* children = host.submenu(item);
        const bool found = children != nullptr && walk(host, children, visit);
        host.freeItems(children);
        if (found) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string Gtk3TestHost::describe(GList* items) {
    std::string text;
    describeInto(*this, items, 0, text);
    return text;
}

std::vector<std::string> Gtk3TestHost::names(GList* items) {
    std::vector<std::string> found;
    walk(*this, items, [&](GObject* item) {
        found.push_back(property(item, "name"));
        return false;
    });
    return found;
}

bool Gtk3TestHost::activate(GList* items, const std::string& name) {
    return walk(*this, items, [&](GObject* item) {
        if (property(item, "name") != name) {
            return false;
        }
        activate(item);
        return true;
    });
}

}  // namespace quenta::testing

#include <gmodule.h>

namespace quenta::testing {
namespace {

using Initialize = void (*)(gpointer);
using Shutdown = void (*)();
using ListTypes = void (*)(const GType**, int*);

struct HostModule {
    GTypeModule parent;
    char* path;
    const char* names[3];
    GModule* library;
    Initialize initialize;
    Shutdown shutdown;
    ListTypes listTypes;
    char* error;
};
struct HostModuleClass {
    GTypeModuleClass parent;
};

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
    auto* module = reinterpret_cast<HostModule*>(typeModule);
    module->library = g_module_open(
        module->path, static_cast<GModuleFlags>(G_MODULE_BIND_LAZY | G_MODULE_BIND_LOCAL));
    if (module->library == nullptr) {
        module->error = g_strdup(g_module_error());
        return FALSE;
    }
    if (!lookUp(module->library, module->names[0], module->initialize) ||
        !lookUp(module->library, module->names[1], module->shutdown) ||
        !lookUp(module->library, module->names[2], module->listTypes)) {
        module->error = g_strdup(g_module_error());
        g_module_close(module->library);
        module->library = nullptr;
        return FALSE;
    }
    module->initialize(module);
    return TRUE;
}

void unloadModule(GTypeModule* typeModule) {
    auto* module = reinterpret_cast<HostModule*>(typeModule);
    module->shutdown();
    // Kept mapped, as the hosts keep their modules: the types it registered stay in use.
    g_module_make_resident(module->library);
    g_module_close(module->library);
    module->library = nullptr;
}

void initializeModuleClass(gpointer klass, gpointer) {
    auto* typeModuleClass = static_cast<GTypeModuleClass*>(klass);
    typeModuleClass->load = loadModule;
    typeModuleClass->unload = unloadModule;
}

GType hostModuleType(void (*moduleInterfaces)(GType)) {
    static const GType type = [moduleInterfaces] {
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
        const GType registered = g_type_register_static(G_TYPE_TYPE_MODULE, "QuentaTestHostModule",
                                                        &info, static_cast<GTypeFlags>(0));
        if (moduleInterfaces != nullptr) {
            moduleInterfaces(registered);
        }
        return registered;
    }();
    return type;
}

struct FileInfo {
    GObject parent;
    GFile* location;
};
struct FileInfoClass {
    GObjectClass parent;
};

void finalizeFileInfo(GObject* object) {
    g_object_unref(reinterpret_cast<FileInfo*>(object)->location);
    GObjectClass* parent = G_OBJECT_CLASS(g_type_class_peek_parent(G_OBJECT_GET_CLASS(object)));
    parent->finalize(object);
}

void initializeFileInfoClass(gpointer klass, gpointer) {
    static_cast<GObjectClass*>(klass)->finalize = finalizeFileInfo;
}

}  // namespace

LoadedModule::LoadedModule(const std::string& path, const char* initialize, const char* shutdown,
                           const char* listTypes, void (*moduleInterfaces)(GType)) {
    module_ = G_TYPE_MODULE(g_object_new(hostModuleType(moduleInterfaces), nullptr));
    auto* module = reinterpret_cast<HostModule*>(module_);
    module->path = g_strdup(path.c_str());
    module->names[0] = initialize;
    module->names[1] = shutdown;
    module->names[2] = listTypes;
    g_type_module_set_name(module_, path.c_str());
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

LoadedModule::~LoadedModule() {
    for (GObject* provider : providers_) {
        g_object_unref(provider);
    }
    if (reinterpret_cast<HostModule*>(module_)->library != nullptr) {
        g_type_module_unuse(module_);
    }
    // The type module itself stays, as GLib requires of a module whose types were registered.
}

std::vector<std::string> LoadedModule::typeNames() const {
    std::vector<std::string> names;
    for (GObject* provider : providers_) {
        names.emplace_back(G_OBJECT_TYPE_NAME(provider));
    }
    return names;
}

GType fileInfoType(const char* typeName, GType iface, GInterfaceInitFunc initialize) {
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
    const GType type =
        g_type_register_static(G_TYPE_OBJECT, typeName, &info, static_cast<GTypeFlags>(0));
    const GInterfaceInfo fileInfo = {initialize, nullptr, nullptr};
    g_type_add_interface_static(type, iface, &fileInfo);
    return type;
}

GObject* newFileInfo(GType type, const std::string& pathOrUri) {
    auto* info = static_cast<FileInfo*>(g_object_new(type, nullptr));
    info->location = pathOrUri.rfind('/', 0) == 0 ? g_file_new_for_path(pathOrUri.c_str())
                                                  : g_file_new_for_uri(pathOrUri.c_str());
    return G_OBJECT(info);
}

GFile* fileInfoLocation(gpointer info) {
    return G_FILE(g_object_ref(static_cast<FileInfo*>(info)->location));
}

GList* newFileInfoList(GType type, const std::vector<std::string>& locations) {
    GList* list = nullptr;
    for (auto it = locations.rbegin(); it != locations.rend(); ++it) {
        list = g_list_prepend(list, newFileInfo(type, *it));
    }
    return list;
}

void freeFileInfoList(GList* infos) {
    g_list_free_full(infos, g_object_unref);
}

}  // namespace quenta::testing
