// GioWorkspace's reveal against a private session bus, with a stand-in file manager on it and a
// default folder handler that records what it is asked to open. Its own executable: GIO reads the
// installed applications once per process, and these tests install their own.
#include "adapters/linux/gio/workspace_gio.hpp"

#include "support/environment_scope.hpp"
#include "support/temp_dir.hpp"

#include <gio/gio.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace quenta::testing {
namespace {

using namespace std::chrono_literals;
using linux_platform::GioWorkspace;
using ::testing::ElementsAre;

constexpr const char* kFileManager =
    "<node><interface name='org.freedesktop.FileManager1'>"
    "<method name='ShowItems'><arg type='as' direction='in'/><arg type='s' direction='in'/>"
    "</method></interface></node>";
constexpr const char* kApplication =
    "<node><interface name='org.freedesktop.Application'>"
    "<method name='Open'><arg type='as' direction='in'/><arg type='a{sv}' direction='in'/>"
    "</method>"
    "<method name='Activate'><arg type='a{sv}' direction='in'/></method></interface></node>";

constexpr const char* kExtensionModule =
    "<node><interface name='com.local.QuentaApp.Extension'>"
    "<method name='ShowItems'><arg type='as' direction='in'/><arg type='b' direction='out'/>"
    "</method></interface></node>";

constexpr const char* kFileManagerName = "org.freedesktop.FileManager1";
constexpr const char* kFileManagerPath = "/org/freedesktop/FileManager1";

// Owns a bus name on its own connection and serves one interface at one path: records the first
// argument (a list of URIs) of every call, and answers (with `reply` where given), or never does.
class StandInService {
  public:
    StandInService(const char* name, const char* path, const char* interface, bool answers,
                   GVariant* reply = nullptr)
        : answers_(answers), reply_(reply != nullptr ? g_variant_ref_sink(reply) : nullptr) {
        GError* error = nullptr;
        connection_ = g_dbus_connection_new_for_address_sync(
            g_getenv("DBUS_SESSION_BUS_ADDRESS"),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, &error);
        g_assert_no_error(error);
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(interface, &error);
        g_assert_no_error(error);
        static const GDBusInterfaceVTable vtable{&StandInService::call, nullptr, nullptr, {}};
        g_dbus_connection_register_object(connection_, path, node->interfaces[0], &vtable, this,
                                          nullptr, &error);
        g_assert_no_error(error);
        g_dbus_node_info_unref(node);
        GVariant* owned = g_dbus_connection_call_sync(
            connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "RequestName", g_variant_new("(su)", name, 4U), nullptr, G_DBUS_CALL_FLAGS_NONE, -1,
            nullptr, &error);
        g_assert_no_error(error);
        g_variant_unref(owned);
    }
    ~StandInService() {
        for (GDBusMethodInvocation* held : held_) {
            g_dbus_method_invocation_return_value(held, nullptr);
        }
        g_dbus_connection_close_sync(connection_, nullptr, nullptr);
        g_object_unref(connection_);
        if (reply_ != nullptr) {
            g_variant_unref(reply_);
        }
    }
    StandInService(const StandInService&) = delete;
    StandInService& operator=(const StandInService&) = delete;

    std::vector<std::vector<std::string>> shown;

  private:
    static void call(GDBusConnection*, const char*, const char*, const char*, const char*,
                     GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
        auto* self = static_cast<StandInService*>(data);
        std::vector<std::string> items;
        if (g_variant_n_children(parameters) > 0) {
            GVariant* uris = g_variant_get_child_value(parameters, 0);
            GVariantIter iter;
            g_variant_iter_init(&iter, uris);
            const char* uri = nullptr;
            while (g_variant_iter_next(&iter, "&s", &uri)) {
                items.emplace_back(uri);
            }
            g_variant_unref(uris);
        }
        self->shown.push_back(items);
        if (self->answers_) {
            g_dbus_method_invocation_return_value(
                invocation, self->reply_ != nullptr ? g_variant_ref(self->reply_) : nullptr);
        } else {
            self->held_.push_back(invocation);
        }
    }

    bool answers_;
    GVariant* reply_;
    GDBusConnection* connection_ = nullptr;
    std::vector<GDBusMethodInvocation*> held_;
};

class GioWorkspaceRevealTest : public ::testing::Test {
  protected:
    GioWorkspaceRevealTest() {
        // The only application installed opens folders by appending their URI to a file.
        runCommand("rm -f " + shellQuote(home / "opened"));
        runCommand("mkdir -p " + shellQuote(home / "data/applications") + " " +
                   shellQuote(home / "config") + " " + shellQuote(home / "folder"));
        writeFile(home / "opener",
                  "#!/bin/sh\necho \"$1\" >>" + shellQuote(home / "opened") + "\n");
        runCommand("chmod 755 " + shellQuote(home / "opener"));
        writeFile(home / "data/applications/folder-opener.desktop",
                  "[Desktop Entry]\nType=Application\nName=Opener\nExec=" + home / "opener" +
                      " %u\nMimeType=inode/directory;\n");
        // A handler of quenta-hang: URLs started over D-Bus, which never answers when it is asked.
        writeFile(home / "data/applications/org.quenta.Hang.desktop",
                  "[Desktop Entry]\nType=Application\nName=Hang\nExec=false %u\n"
                  "DBusActivatable=true\nMimeType=x-scheme-handler/quenta-hang;\n");
        writeFile(home / "config/mimeapps.list",
                  "[Default Applications]\ninode/directory=folder-opener.desktop\n"
                  "x-scheme-handler/quenta-hang=org.quenta.Hang.desktop\n");
        environment.set("XDG_DATA_HOME", home / "data");
        environment.set("XDG_DATA_DIRS", home / "none");
        environment.set("XDG_CONFIG_HOME", home / "config");
        environment.set("HOME", home.path());
        bus = g_test_dbus_new(G_TEST_DBUS_NONE);
        g_test_dbus_up(bus);
    }
    ~GioWorkspaceRevealTest() override {
        g_test_dbus_down(bus);
        g_object_unref(bus);
    }
    std::string folderURI() { return "file://" + home / "folder"; }

    // GIO reads the installed applications once per process: one folder for the whole suite.
    static TempDir& suiteHome() {
        static TempDir folder;
        return folder;
    }

    TempDir& home = suiteHome();
    EnvironmentScope environment;
    GTestDBus* bus = nullptr;
};

TEST_F(GioWorkspaceRevealTest, ReturnsAtOnceAndTheFileManagerShowsTheItemsInOrder) {
    StandInService fileManager(kFileManagerName, kFileManagerPath, kFileManager, true);
    GioWorkspace workspace;
    workspace.revealItems({home / "folder/a", home / "folder/b"});
    workspace.revealItems({home / "folder/c"});
    EXPECT_EQ(workspace.pendingReveals(), 2) << "nothing waits for the file manager";
    workspace.finishReveals(10s);
    EXPECT_EQ(workspace.pendingReveals(), 0);
    EXPECT_THAT(fileManager.shown, ElementsAre(ElementsAre(folderURI() + "/a", folderURI() + "/b"),
                                               ElementsAre(folderURI() + "/c")));
    EXPECT_EQ(readFile(home / "opened"), "") << "the folder is not opened as well";
}

// A module whose window shows the folder takes the reveal; otherwise the file manager gets it.
TEST_F(GioWorkspaceRevealTest, AModulesWindowShowingTheFolderTakesTheReveal) {
    for (const bool shown : {true, false}) {
        SCOPED_TRACE(shown ? "a window shows the folder" : "no window shows it");
        StandInService fileManager(kFileManagerName, kFileManagerPath, kFileManager, true);
        StandInService module("com.local.QuentaApp.Extension.p1", "/com/local/QuentaApp/Extension",
                              kExtensionModule, true, g_variant_new("(b)", shown));
        GioWorkspace workspace;
        workspace.revealItems({home / "folder/a", home / "folder/b"});
        workspace.finishReveals(10s);
        EXPECT_THAT(module.shown, ElementsAre(ElementsAre(home / "folder/a", home / "folder/b")));
        EXPECT_EQ(fileManager.shown.size(), shown ? 0U : 1U);
    }
}

TEST_F(GioWorkspaceRevealTest, WithoutAnAnswerTheFolderIsOpenedInstead) {
    for (const bool fileManagerPresent : {false, true}) {
        SCOPED_TRACE(fileManagerPresent ? "a file manager that never answers" : "none on the bus");
        runCommand("rm -f " + shellQuote(home / "opened"));
        std::optional<StandInService> fileManager;
        if (fileManagerPresent) {
            fileManager.emplace(kFileManagerName, kFileManagerPath, kFileManager, false);
        }
        GioWorkspace workspace(200ms);
        workspace.revealItems({home / "folder/a"});
        workspace.finishReveals(10s);
        EXPECT_EQ(workspace.pendingReveals(), 0);
        for (int i = 0; i < 500 && readFile(home / "opened").empty(); ++i) {
            g_usleep(10000);  // the opener runs detached
        }
        EXPECT_EQ(readFile(home / "opened"), home / "folder" + "\n");
    }
}

TEST_F(GioWorkspaceRevealTest, TrashedItemsAreAnnouncedAsKiosOwnMoves) {
    GDBusConnection* listener = g_dbus_connection_new_for_address_sync(
        g_getenv("DBUS_SESSION_BUS_ADDRESS"),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    ASSERT_NE(listener, nullptr);
    std::vector<std::string> heard;
    const guint subscription = g_dbus_connection_signal_subscribe(
        listener, nullptr, "org.kde.KDirNotify", nullptr, "/", nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
        [](GDBusConnection*, const char*, const char*, const char*, const char* name,
           GVariant* parameters, gpointer data) {
            char* printed = g_variant_print(parameters, FALSE);
            static_cast<std::vector<std::string>*>(data)->push_back(std::string(name) + printed);
            g_free(printed);
        },
        &heard, nullptr);
    GDBusMessage* ping = g_dbus_message_new_method_call(
        "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetId");
    g_object_unref(g_dbus_connection_send_message_with_reply_sync(
        listener, ping, G_DBUS_SEND_MESSAGE_FLAGS_NONE, -1, nullptr, nullptr, nullptr));
    g_object_unref(ping);  // the subscription is in place once the bus has answered

    GioWorkspace().itemsTrashed({home / "folder/a b"});
    for (int i = 0; i < 500 && heard.size() < 2; ++i) {
        g_main_context_iteration(nullptr, FALSE);
        g_usleep(10000);
    }
    EXPECT_THAT(heard, ElementsAre("FilesRemoved(['" + folderURI() + "/a%20b'],)",
                                   "FilesAdded('trash:/',)"));
    g_dbus_connection_signal_unsubscribe(listener, subscription);
    g_dbus_connection_close_sync(listener, nullptr, nullptr);
    g_object_unref(listener);
}

TEST_F(GioWorkspaceRevealTest, AHandlerThatNeverAnswersIsGivenUpAtTheBound) {
    StandInService hang("org.quenta.Hang", "/org/quenta/Hang", kApplication, false);
    GioWorkspace workspace(5s, 300ms);
    const Status opened = workspace.openURL("quenta-hang://x");
    ASSERT_FALSE(opened);
    EXPECT_EQ(opened.error().description, "the default application did not answer within 300 ms");
}

TEST(GioWorkspaceTest, FailuresCarryGiosMessage) {
    GioWorkspace workspace;
    const Status unknownEntry = workspace.openURL("quenta-no-such-entry.desktop");
    ASSERT_FALSE(unknownEntry);
    EXPECT_EQ(unknownEntry.error().kind, ErrorKind::notFound);
    // GIO's own error, not a made-up one: its kind and its (translated) message.
    const Status noHandler = workspace.openURL("quenta-no-such-scheme://x");
    ASSERT_FALSE(noHandler);
    EXPECT_EQ(noHandler.error().kind, ErrorKind::unsupported);
    EXPECT_FALSE(noHandler.error().description.empty());
}

}  // namespace
}  // namespace quenta::testing
