// The contract of every GTK 3 file-manager module (Nemo, Caja, Thunar), one suite built once per
// module with that host's test host: the built module loaded as its file manager loads it, asked
// for items with the host's file-info objects, and its items activated. The requests reach the
// real quentaapp in a private HOME; the pasteboard is the real per-user store.
#include "adapters/linux/posix/defaults_json_file.hpp"
#include "adapters/linux/posix/pasteboard_store.hpp"
#include "hosts/gtk3_test_host.hpp"
#include "support/extension_requests.hpp"
#include "support/temp_dir.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <sstream>

namespace quenta::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// The background menu of a folder as a host that draws everything would show it; `expected`
// leaves out what the host under test does not draw.
constexpr const char* kBackgroundMenu =
    "新建空白文件夹  -> QuentaExtension-background-createFolder\n"
    "Lumvik\n"
    "  文本文档  -> QuentaExtension-background-header1 (disabled)\n"
    "  文本文档 (.txt)  -> QuentaExtension-background-createPlainText\n"
    "  富文本 (.rtf)  -> QuentaExtension-background-createRichText\n"
    "  Markdown (.md)  -> QuentaExtension-background-createMarkdown\n"
    "  --\n"
    "  办公文档  -> QuentaExtension-background-header2 (disabled)\n"
    "  Word 文档 (.docx)  -> QuentaExtension-background-createWord\n"
    "  PDF 文档 (.pdf)  -> QuentaExtension-background-createPDF\n"
    "  PowerPoint 演示文稿 (.pptx)  -> QuentaExtension-background-createPowerPoint\n"
    "  Excel 表格 (.xlsx)  -> QuentaExtension-background-createExcel\n"
    "  --\n"
    "  数据文件  -> QuentaExtension-background-header3 (disabled)\n"
    "  CSV 表格 (.csv)  -> QuentaExtension-background-createCSV\n"
    "  JSON (.json)  -> QuentaExtension-background-createJSON\n"
    "  --\n"
    "  编程开发  -> QuentaExtension-background-header4 (disabled)\n"
    "  HTML (.html)  -> QuentaExtension-background-createHTML\n"
    "  CSS (.css)  -> QuentaExtension-background-createCSS\n"
    "  JavaScript (.js)  -> QuentaExtension-background-createJavaScript\n"
    "  Python (.py)  -> QuentaExtension-background-createPython\n"
    "  Swift (.swift)  -> QuentaExtension-background-createSwift\n"
    "  Shell 脚本 (.sh)  -> QuentaExtension-background-createShell\n"
    "剪切  -> QuentaExtension-background-cutItems (disabled)\n"
    "粘贴到此处  -> QuentaExtension-background-pasteCutItems (disabled)\n"
    "移到废纸篓  -> QuentaExtension-background-trashItems (disabled)\n"
    "拷贝路径  -> QuentaExtension-background-copyPath\n"
    "打开终端  -> QuentaExtension-background-openTerminal\n";

// The menu as the host draws it: without separators where it has none, without the disabled
// actions where it would run them (the disabled headers run nothing and stay), and with each
// header holding its group as a submenu where the host would draw it as an item.
std::string expected(const HostTraits& traits, const std::string& menu) {
    std::istringstream lines(menu);
    std::string kept;
    bool inGroup = false;
    for (std::string line; std::getline(lines, line);) {
        const std::size_t indent = line.find_first_not_of(' ');
        const bool separator = indent != std::string::npos && line.substr(indent) == "--";
        const bool header = line.find("-header") != std::string::npos;
        const bool disabledAction = line.ends_with(" (disabled)") && !header;
        inGroup = inGroup && indent == 2 && !separator;
        if ((separator && !traits.separators) || (disabledAction && traits.omitsDisabled)) {
            continue;
        }
        if (traits.groupsAsSubmenus && header) {
            kept += line.substr(0, line.find("  -> ")) + "\n";
            inGroup = true;
            continue;
        }
        kept += (traits.groupsAsSubmenus && inGroup ? "  " : "") + line + "\n";
    }
    return kept;
}

class Gtk3ModuleTest : public ::testing::Test {
  protected:
    // One module per process, as in the file managers; it reads the environment when loaded.
    static void SetUpTestSuite() {
        home = new TempDir();
        runCommand("mkdir -p " + shellQuote(*home / ".local/state") + " " +
                   shellQuote(*home / "runtime") + " " + shellQuote(*home / "Desktop") + " " +
                   shellQuote(*home / "data") + " && chmod 700 " + shellQuote(*home / "runtime"));
        ::setenv("HOME", home->path().c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (*home / "runtime").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (*home / "data").c_str(), 1);
        ::setenv("GIO_USE_VFS", "local", 1);  // other schemes stay without a local path
        for (const char* name : {"XDG_STATE_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "DISPLAY",
                                 "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS"}) {
            ::unsetenv(name);
        }
        // No update check is due: nothing goes to the network.
        linux_platform::DefaultsJsonFile defaults(
            linux_platform::DefaultsJsonFile::pathForDomain("QuentaFinderExtension"));
        (void)defaults.setDate("UpdateNextCheckDate",
                               std::chrono::system_clock::now() + std::chrono::hours(24));
        host = makeTestHost(QUENTA_MODULE).release();
    }
    static void TearDownTestSuite() {
        delete host;
        host = nullptr;
    }

    void SetUp() override { ASSERT_EQ(host->error(), ""); }

    // Owns a list of items and frees it at the end of the scope.
    struct Items {
        GList* list;
        explicit Items(GList* items) : list(items) {}
        ~Items() { host->freeItems(list); }
        Items(const Items&) = delete;
        Items& operator=(const Items&) = delete;
        [[nodiscard]] std::string text() const { return host->describe(list); }
        bool activate(const std::string& selector) const {
            for (const char* menu : {"background", "selection", "toolbar"}) {
                if (host->activate(list, std::string("QuentaExtension-") + menu + "-" + selector)) {
                    return true;
                }
            }
            return false;
        }
    };

    static std::string log() { return readFile(*home / ".local/state/QuentaFinderExtension.log"); }
    // Runs the host's event loop while it waits, as the file manager would.
    static void waitForRequests() {
        waitForExtensionRequests(*home / ".local/state/QuentaFinderExtension.log", [] {
            while (g_main_context_iteration(nullptr, FALSE)) {
            }
        });
    }

    static TempDir* home;
    static Gtk3TestHost* host;
    TempDir work;
};

TempDir* Gtk3ModuleTest::home = nullptr;
Gtk3TestHost* Gtk3ModuleTest::host = nullptr;

// The suite is named after the host (NemoModuleTest, ...), so that each test has a name of its own.
class QUENTA_SUITE : public Gtk3ModuleTest {};

TEST_F(QUENTA_SUITE, ListsOneMenuProviderAndRendersTheBackgroundMenuAsTheHostDrawsIt) {
    EXPECT_EQ(host->typeNames(), std::vector<std::string>{"QuentaMenuProvider"});
    const Items items(host->backgroundItems(work.path()));
    EXPECT_EQ(items.text(), expected(host->traits(), kBackgroundMenu));
    EXPECT_EQ(host->fileItems({}), nullptr);  // an empty selection gets no menu

    // A folder view holds the items of both its menus at once: no name may be shared.
    runCommand("touch " + shellQuote(work / "f"));
    const Items selection(host->fileItems({work / "f"}));
    const auto background = host->names(items.list);
    for (const auto& name : host->names(selection.list)) {
        EXPECT_EQ(std::count(background.begin(), background.end(), name), 0) << name;
    }
    EXPECT_EQ(log(), "");  // building menus logs nothing
}

TEST_F(QUENTA_SUITE, ASelectionEnablesCutAndTrashAndTargetsTheFolderThatHoldsIt) {
    runCommand("touch " + shellQuote(work / "b") + " " + shellQuote(work / "a a"));
    const Items items(host->fileItems({work / "b", work / "a a"}));
    EXPECT_THAT(items.text(), HasSubstr("剪切  -> QuentaExtension-selection-cutItems\n"));
    EXPECT_THAT(items.text(), HasSubstr("移到废纸篓  -> QuentaExtension-selection-trashItems\n"));
    ASSERT_TRUE(items.activate("createMarkdown"));
    ASSERT_TRUE(items.activate("trashItems"));
    waitForRequests();
    EXPECT_EQ(readFile(work / "新建Markdown.md"), "# Untitled\n");
    EXPECT_THAT(log(), HasSubstr("] trash paths: [\"" + (work / "b") + "\", \"" + (work / "a a") +
                                 "\"]\n"));
    EXPECT_EQ(runCommand("ls " + shellQuote(*home / "data/Trash/files")).out, "a a\nb\n");
}

TEST_F(QUENTA_SUITE, AnItemRunsAgainstItsOwnMenuAndNonLocalPlacesCountAsAbsent) {
    runCommand("mkdir " + shellQuote(work / "first") + " " + shellQuote(work / "later"));
    const Items shown(host->backgroundItems(work / "first"));
    const Items rebuilt(host->backgroundItems(work / "later"));  // asked again before the pick
    ASSERT_TRUE(shown.activate("createPlainText"));
    waitForRequests();
    EXPECT_EQ(runCommand("ls " + shellQuote(work / "first")).out, "新建文本文档.txt\n");
    EXPECT_EQ(runCommand("ls " + shellQuote(work / "later")).out, "");

    const Items remote(host->backgroundItems("sftp://example.invalid/srv"));
    ASSERT_TRUE(remote.activate("copyPath"));  // the place's address, never the desktop folder
    EXPECT_THAT(log(), HasSubstr("] copied paths: [\"sftp://example.invalid/srv\"]\n"));
}

TEST_F(QUENTA_SUITE, CutThenPasteFromTheNextMenu) {
    runCommand("mkdir " + shellQuote(work / "from") + " " + shellQuote(work / "to") + " && touch " +
               shellQuote(work / "from/one") + " " + shellQuote(work / "from/two"));
    const Items shownBefore(host->backgroundItems(work / "to"));
    {
        const Items selection(host->fileItems({work / "from/one", work / "from/two"}));
        const int updates = host->itemsUpdated();
        ASSERT_TRUE(selection.activate("cutItems"));
        // A host that keeps the folder's menu from before the cut is told to ask again.
        EXPECT_EQ(host->itemsUpdated(), updates + (host->traits().keepsMenus ? 1 : 0));
    }
    linux_platform::PasteboardStore store;
    const std::string cutText = (work / "from/one") + "\n" + (work / "from/two");
    EXPECT_EQ(store.stringForType("public.utf8-plain-text"), cutText);
    const Items destination(host->backgroundItems(work / "to"));
    EXPECT_THAT(destination.text(),
                HasSubstr("粘贴到此处  -> QuentaExtension-background-pasteCutItems\n"));
    ASSERT_TRUE(destination.activate("pasteCutItems"));
    waitForRequests();
    EXPECT_EQ(runCommand("ls " + shellQuote(work / "to")).out, "one\ntwo\n");
    const Items after(host->backgroundItems(work / "to"));
    const auto names = host->names(after.list);
    EXPECT_EQ(std::count(names.begin(), names.end(), "QuentaExtension-background-pasteCutItems"),
              host->traits().omitsDisabled ? 0 : 1);
}

TEST_F(QUENTA_SUITE, TheToolbarButtonHoldsTheSameMenu) {
    const Items toolbar(host->toolbarItems(work.path()));
    if (!host->traits().toolbar) {
        EXPECT_EQ(toolbar.list, nullptr);
        return;
    }
    ASSERT_EQ(g_list_length(toolbar.list), 1U);
    auto* button = G_OBJECT(toolbar.list->data);
    EXPECT_EQ(Gtk3TestHost::property(button, "label"), "Lumvik");
    EXPECT_EQ(Gtk3TestHost::property(button, "tip"), "在当前位置新建文件");
    EXPECT_EQ(Gtk3TestHost::property(button, "icon"), "document-new");
    std::string menu = expected(host->traits(), kBackgroundMenu);
    for (auto at = menu.find("-background-"); at != std::string::npos;
         at = menu.find("-background-", at)) {
        menu.replace(at, 12, "-toolbar-");
    }
    std::string indented;
    std::istringstream lines(menu);
    for (std::string line; std::getline(lines, line);) {
        indented += "  " + line + "\n";
    }
    EXPECT_EQ(toolbar.text(), "Lumvik\n" + indented);
    ASSERT_TRUE(toolbar.activate("createFolder"));
    waitForRequests();
    EXPECT_EQ(runCommand("ls " + shellQuote(work.path())).out, "新建文件夹\n");
}

TEST_F(QUENTA_SUITE, ACachedNewerReleaseAddsTheUpdateItemLast) {
    linux_platform::DefaultsJsonFile defaults(
        linux_platform::DefaultsJsonFile::pathForDomain("QuentaFinderExtension"));
    ASSERT_TRUE(defaults.setString("UpdateLatestVersion", "99.0").ok());
    ASSERT_TRUE(defaults.setString("UpdateLatestPageURL", "https://example.invalid/page").ok());
    const Items items(host->backgroundItems(work.path()));
    EXPECT_THAT(items.text(),
                HasSubstr("打开终端  -> QuentaExtension-background-openTerminal\n"
                          "有新版本 v99.0 可用  -> QuentaExtension-background-openUpdatePage\n"));
    (void)defaults.remove("UpdateLatestVersion");
    (void)defaults.remove("UpdateLatestPageURL");
    const Items without(host->backgroundItems(work.path()));
    EXPECT_THAT(without.text(), Not(HasSubstr("有新版本")));
}

}  // namespace
}  // namespace quenta::testing
