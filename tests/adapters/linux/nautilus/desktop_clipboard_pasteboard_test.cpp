// The pasteboard of the Nautilus module on a real X display (Xvfb, started by the test): entries
// go to the per-user store, and the plain-text entry also reaches the display's clipboard, read
// back by a second connection to the display as another application would read it.
#include "adapters/linux/nautilus/desktop_clipboard_pasteboard.hpp"

#include "adapters/linux/posix/pasteboard_store.hpp"
#include "support/environment_scope.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

extern char** environ;

namespace quenta::testing {
namespace {

using linux_platform::DesktopClipboardPasteboard;
using linux_platform::PasteboardStore;

// An Xvfb server on a display it picks itself, ended with the object.
class VirtualDisplay {
  public:
    VirtualDisplay() {
        if (::access("/usr/bin/Xvfb", X_OK) != 0) {
            return;
        }
        const std::string numberFile = folder_ / "display";
        const std::string command = "exec /usr/bin/Xvfb -displayfd 3 -nolisten tcp 3>" +
                                    shellQuote(numberFile) + " >/dev/null 2>&1";
        const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
        if (::posix_spawn(&pid_, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) !=
            0) {
            pid_ = -1;
            return;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            const std::string number = readFile(numberFile);
            if (!number.empty() && number.back() == '\n') {
                name_ = ":" + number.substr(0, number.size() - 1);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    ~VirtualDisplay() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
    }
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    [[nodiscard]] const std::string& name() const { return name_; }

  private:
    TempDir folder_;
    pid_t pid_ = -1;
    std::string name_;
};

// The clipboard's text as another client of the display reads it; none when it offers no text.
std::optional<std::string> readClipboard(GdkDisplay* display) {
    struct Read {
        bool done = false;
        std::optional<std::string> text;
    } read;
    gdk_clipboard_read_text_async(
        gdk_display_get_clipboard(display), nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            auto* state = static_cast<Read*>(data);
            char* text = gdk_clipboard_read_text_finish(GDK_CLIPBOARD(source), result, nullptr);
            if (text != nullptr) {
                state->text = text;
                g_free(text);
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

TEST(DesktopClipboardPasteboardTest, PlainTextReachesTheDisplaysClipboardAndEveryEntryTheStore) {
    TempDir folder;
    PasteboardStore store(folder / "store");
    {
        // Without a display the store alone is used.
        EnvironmentScope noDisplay("DISPLAY", std::nullopt);
        DesktopClipboardPasteboard pasteboard(store);
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
    environment.set("GTK_A11Y", "none");
    ASSERT_TRUE(gtk_init_check());
    GdkDisplay* reader = gdk_display_open(display.name().c_str());
    ASSERT_NE(reader, nullptr);

    DesktopClipboardPasteboard pasteboard(store);
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
    EXPECT_EQ(readClipboard(reader), "/tmp/三") << "a cut's plain text reaches the clipboard too";
    gdk_display_close(reader);
}

}  // namespace
}  // namespace quenta::testing
