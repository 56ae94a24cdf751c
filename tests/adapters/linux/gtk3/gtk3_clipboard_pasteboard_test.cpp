// The pasteboard of the GTK 3 file-manager modules on a real X display (Xvfb, started by the
// test): entries go to the per-user store, and the plain-text entry also reaches the display's
// CLIPBOARD selection through GTK 3, read back by a second connection to the display as another
// application would read it; a cut reaches it in the file managers' forms, and a file manager's
// cut made there is seen as the desktop's cut.
#include "adapters/linux/gtk3/gtk3_clipboard_pasteboard.hpp"

#include "adapters/linux/posix/pasteboard_store.hpp"
#include "support/environment_scope.hpp"
#include "support/temp_dir.hpp"
#include "support/virtual_display.hpp"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace quenta::testing {
namespace {

using linux_platform::fileCutForms;
using linux_platform::fileUri;
using linux_platform::Gtk3ClipboardPasteboard;
using linux_platform::PasteboardStore;
using linux_platform::pathsOfGnomeCut;

// The clipboard's text as another client of the display reads it; none when it offers no text.
std::optional<std::string> readClipboard(GdkDisplay* display) {
    struct Read {
        bool done = false;
        std::optional<std::string> text;
    } read;
    gtk_clipboard_request_text(
        gtk_clipboard_get_for_display(display, GDK_SELECTION_CLIPBOARD),
        [](GtkClipboard*, const gchar* text, gpointer data) {
            auto* state = static_cast<Read*>(data);
            if (text != nullptr) {
                state->text = text;
            }
            state->done = true;
        },
        &read);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!read.done && std::chrono::steady_clock::now() < deadline) {
        g_main_context_iteration(nullptr, FALSE);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return read.text;
}

// Runs the main loop until `done` holds, for at most 10 s.
template <class Predicate>
bool iterateUntil(Predicate done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        g_main_context_iteration(nullptr, FALSE);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

// The text of a target as another client of the display reads it.
std::optional<std::string> readTarget(GdkDisplay* display, const char* target) {
    struct Read {
        bool done = false;
        std::optional<std::string> text;
    } read;
    gtk_clipboard_request_contents(
        gtk_clipboard_get_for_display(display, GDK_SELECTION_CLIPBOARD),
        gdk_atom_intern(target, FALSE),
        [](GtkClipboard*, GtkSelectionData* data, gpointer state) {
            auto* result = static_cast<Read*>(state);
            if (gtk_selection_data_get_length(data) >= 0) {
                result->text =
                    std::string(reinterpret_cast<const char*>(gtk_selection_data_get_data(data)),
                                static_cast<std::size_t>(gtk_selection_data_get_length(data)));
            }
            result->done = true;
        },
        &read);
    iterateUntil([&] { return read.done; });
    return read.text;
}

TEST(FileCutFormsTest, PathsTravelAsFileUrisAndBackWhole) {
    const std::string hostile = "/tmp/a b/%25/#?/\xe4\xb8\x89/\xff\x01";
    EXPECT_EQ(fileUri("/tmp/a b/三"), "file:///tmp/a%20b/%E4%B8%89");
    const auto forms = fileCutForms("/x/a\n" + hostile);
    EXPECT_EQ(forms.gnomeCopiedFiles, "cut\nfile:///x/a\n" + fileUri(hostile));
    EXPECT_EQ(forms.uriList, "file:///x/a\r\n" + fileUri(hostile) + "\r\n");
    EXPECT_EQ(pathsOfGnomeCut(forms.gnomeCopiedFiles), (std::vector<std::string>{"/x/a", hostile}));
    // What a file manager writes, and what is not a cut of local files.
    const std::vector<std::pair<std::string, std::optional<std::vector<std::string>>>> texts = {
        {"cut\nfile:///a%20b\nfile://localhost/c\n", std::vector<std::string>{"/a b", "/c"}},
        {"cut\r\nfile:///a\r\n", std::vector<std::string>{"/a"}},
        {"copy\nfile:///a", std::nullopt},
        {"cut\nsftp://host/a", std::nullopt},
        {"cut\nfile:///a%00b", std::nullopt},
        {"cut\nfile:///a%2", std::nullopt},
        {"cut\nfile://other/a", std::nullopt},
        {"cut\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, paths] : texts) {
        EXPECT_EQ(pathsOfGnomeCut(text), paths) << text;
    }
}

TEST(Gtk3ClipboardPasteboardTest, PlainTextReachesTheDisplaysClipboardAndEveryEntryTheStore) {
    TempDir folder;
    PasteboardStore store(folder / "store");
    {
        // Without a display the store alone is used.
        EnvironmentScope noDisplay("DISPLAY", std::nullopt);
        Gtk3ClipboardPasteboard pasteboard(store);
        EXPECT_TRUE(pasteboard.setString("/a", Pasteboard::kPlainTextType));
        EXPECT_EQ(pasteboard.stringForType(Pasteboard::kPlainTextType), "/a");
    }

    VirtualDisplay display;
    if (display.name().empty()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    EnvironmentScope environment("DISPLAY", display.name());
    environment.set("GDK_BACKEND", "x11");
    environment.unset("WAYLAND_DISPLAY");
    environment.set("NO_AT_BRIDGE", "1");
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
    GdkDisplay* reader = gdk_display_open(display.name().c_str());
    ASSERT_NE(reader, nullptr);

    Gtk3ClipboardPasteboard pasteboard(store);
    ASSERT_TRUE(pasteboard.clearContents());
    EXPECT_TRUE(pasteboard.setString("/tmp/one\n/tmp/two", "com.local.QuentaApp.cutPaths"));
    EXPECT_NE(readClipboard(reader), "/tmp/one\n/tmp/two");  // private types stay private
    EXPECT_TRUE(pasteboard.setString("/tmp/one\n/tmp/two", Pasteboard::kPlainTextType));
    EXPECT_EQ(readClipboard(reader), "/tmp/one\n/tmp/two");
    EXPECT_EQ(pasteboard.stringForType("com.local.QuentaApp.cutPaths"), "/tmp/one\n/tmp/two");

    ASSERT_TRUE(pasteboard.clearContents());
    EXPECT_EQ(pasteboard.stringForType("com.local.QuentaApp.cutPaths"), std::nullopt);
    EXPECT_TRUE(pasteboard.replaceContents({{"com.local.QuentaApp.cutPaths", "/tmp/三"},
                                            {std::string(Pasteboard::kPlainTextType), "/tmp/三"}}));
    EXPECT_EQ(readClipboard(reader), "/tmp/三");

    // A cut reaches the clipboard in the file managers' forms, and is seen as ours.
    EXPECT_TRUE(pasteboard.replaceContents({{"com.local.QuentaApp.cutPaths", "/tmp/a b\n/tmp/三"},
                                            {std::string(Pasteboard::kPlainTextType), "x"}}));
    EXPECT_EQ(readTarget(reader, "x-special/gnome-copied-files"),
              "cut\nfile:///tmp/a%20b\nfile:///tmp/%E4%B8%89");
    EXPECT_EQ(readTarget(reader, "x-special/mate-copied-files"),
              "cut\nfile:///tmp/a%20b\nfile:///tmp/%E4%B8%89");
    EXPECT_EQ(readTarget(reader, "text/uri-list"),
              "file:///tmp/a%20b\r\nfile:///tmp/%E4%B8%89\r\n");
    EXPECT_EQ(readClipboard(reader), "/tmp/a b\n/tmp/三");
    EXPECT_EQ(pasteboard.desktopCut(), (Pasteboard::DesktopCut{{"/tmp/a b", "/tmp/三"}, true}));

    // Another program's cut (made through the second connection) is seen once the clipboard
    // reports its new owner, and ending it leaves the clipboard empty.
    static const std::string foreignCut = "cut\nfile:///h/1";
    const GtkTargetEntry target{const_cast<gchar*>("x-special/gnome-copied-files"), 0, 0};
    ASSERT_TRUE(gtk_clipboard_set_with_data(
        gtk_clipboard_get_for_display(reader, GDK_SELECTION_CLIPBOARD), &target, 1,
        [](GtkClipboard*, GtkSelectionData* data, guint, gpointer) {
            gtk_selection_data_set(data, gtk_selection_data_get_target(data), 8,
                                   reinterpret_cast<const guchar*>(foreignCut.data()),
                                   static_cast<gint>(foreignCut.size()));
        },
        nullptr, nullptr));
    const Pasteboard::DesktopCut foreign{{"/h/1"}, false};
    EXPECT_TRUE(iterateUntil([&] { return pasteboard.desktopCut() == foreign; }));
    pasteboard.endDesktopCut();
    EXPECT_EQ(pasteboard.desktopCut(), std::nullopt);
    EXPECT_EQ(readTarget(reader, "x-special/gnome-copied-files"), std::nullopt);
    gdk_display_close(reader);
}

}  // namespace
}  // namespace quenta::testing
