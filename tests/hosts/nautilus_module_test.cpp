// The built Nautilus module loaded exactly as Nautilus loads it, asked for items with
// NautilusFileInfo objects, and its items activated: the requests reach the real quentaapp in a
// private HOME, the pasteboard is the real per-user store.
#include "adapters/linux/posix/defaults_json_file.hpp"
#include "adapters/linux/posix/pasteboard_store.hpp"
#include "hosts/nautilus_test_host.hpp"
#include "support/extension_requests.hpp"
#include "support/temp_dir.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nautilus-extension.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>

namespace quenta::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kBackgroundMenu =
    "新建空白文件夹  -> QuentaExtension-background-createFolder\n"
    "Lumvik\n"
    "  文本文档  -> QuentaExtension-background-header1 (disabled)\n"
    "  文本文档 (.txt)  -> QuentaExtension-background-createPlainText\n"
    "  富文本 (.rtf)  -> QuentaExtension-background-createRichText\n"
    "  Markdown (.md)  -> QuentaExtension-background-createMarkdown\n"
    "  办公文档  -> QuentaExtension-background-header2 (disabled)\n"
    "  Word 文档 (.docx)  -> QuentaExtension-background-createWord\n"
    "  PDF 文档 (.pdf)  -> QuentaExtension-background-createPDF\n"
    "  PowerPoint 演示文稿 (.pptx)  -> QuentaExtension-background-createPowerPoint\n"
    "  Excel 表格 (.xlsx)  -> QuentaExtension-background-createExcel\n"
    "  数据文件  -> QuentaExtension-background-header3 (disabled)\n"
    "  CSV 表格 (.csv)  -> QuentaExtension-background-createCSV\n"
    "  JSON (.json)  -> QuentaExtension-background-createJSON\n"
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

// Owns a list of items and frees it at the end of the scope.
struct Items {
    GList* list;
    explicit Items(GList* items) : list(items) {}
    ~Items() { freeItems(list); }
    Items(const Items&) = delete;
    Items& operator=(const Items&) = delete;
    [[nodiscard]] std::string text() const { return describeItems(list); }
    // Activates the item with that selector, of whichever menu the list is.
    bool activate(const std::string& selector) const {
        return activateItem(list, "QuentaExtension-background-" + selector) ||
               activateItem(list, "QuentaExtension-selection-" + selector);
    }
};

// A NautilusFileInfo released at the end of the scope.
struct File {
    NautilusFileInfo* info;
    File(const std::string& location, bool directory) : info(newFileInfo(location, directory)) {}
    ~File() { unrefFileInfo(info); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
};

class NautilusModuleTest : public ::testing::Test {
  protected:
    // One module per process, as in Nautilus; it reads the environment when it is loaded.
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
        host = new NautilusTestHost(QUENTA_NAUTILUS_MODULE);
    }
    static void TearDownTestSuite() {
        delete host;
        host = nullptr;
    }

    void SetUp() override { ASSERT_TRUE(host->loaded()) << host->error(); }

    static std::string log() { return readFile(*home / ".local/state/QuentaFinderExtension.log"); }
    // Runs the host's event loop while it waits, as the file manager would.
    static void waitForRequests() {
        waitForExtensionRequests(*home / ".local/state/QuentaFinderExtension.log", [] {
            while (g_main_context_iteration(nullptr, FALSE)) {
            }
        });
    }

    static TempDir* home;
    static NautilusTestHost* host;
    TempDir work;
};

TempDir* NautilusModuleTest::home = nullptr;
NautilusTestHost* NautilusModuleTest::host = nullptr;

TEST_F(NautilusModuleTest, ListsOneMenuProviderAndRendersTheBackgroundMenu) {
    EXPECT_THAT(host->typeNames(), ElementsAre("QuentaMenuProvider"));
    File folder(work.path(), true);
    const Items items(host->backgroundItems(folder.info));
    EXPECT_EQ(items.text(), kBackgroundMenu);
    // Nautilus asks with an empty selection too; that menu is never shown.
    EXPECT_EQ(host->fileItems({}), nullptr);

    // A folder view keeps one action per item name for both of its menus: no name may be shared.
    runCommand("touch " + shellQuote(work / "f"));
    File file(work / "f", false);
    const Items selection(host->fileItems({file.info}));
    const auto background = itemNames(items.list);
    EXPECT_EQ(background.size(), 26U);
    for (const auto& name : itemNames(selection.list)) {
        EXPECT_EQ(std::count(background.begin(), background.end(), name), 0) << name;
    }
    EXPECT_EQ(log(), "");  // building menus logs nothing
}

TEST_F(NautilusModuleTest, SelectionEnablesCutAndTrashAndTargetsTheFolderThatHoldsIt) {
    runCommand("touch " + shellQuote(work / "note.txt"));
    File file(work / "note.txt", false);
    const Items items(host->fileItems({file.info}));
    EXPECT_THAT(items.text(), HasSubstr("剪切  -> QuentaExtension-selection-cutItems\n"));
    EXPECT_THAT(items.text(), HasSubstr("移到废纸篓  -> QuentaExtension-selection-trashItems\n"));

    ASSERT_TRUE(items.activate("createMarkdown"));
    waitForRequests();
    EXPECT_EQ(readFile(work / "新建Markdown.md"), "# Untitled\n");
    EXPECT_THAT(log(), HasSubstr("] targetedURL=Optional(\"" + work.path() +
                                 "\"), selected=Optional([\"" + (work / "note.txt") + "\"])\n"));
    EXPECT_THAT(log(), HasSubstr("] main app open request sent\n"));
}

TEST_F(NautilusModuleTest, OneSelectedFolderReceivesTheNewFolder) {
    runCommand("mkdir " + shellQuote(work / "inside"));
    File folder(work / "inside", true);
    const Items items(host->fileItems({folder.info}));
    ASSERT_TRUE(items.activate("createFolder"));
    waitForRequests();
    EXPECT_EQ(runCommand("ls " + shellQuote(work / "inside")).out, "新建文件夹\n");
}

TEST_F(NautilusModuleTest, SeveralItemsGoToTheTrashInOneRequestInNautilusOrder) {
    runCommand("touch " + shellQuote(work / "b") + " " + shellQuote(work / "a a") + " " +
               shellQuote(work / "c%d"));
    File b(work / "b", false);
    File a(work / "a a", false);
    File c(work / "c%d", false);
    const Items items(host->fileItems({b.info, a.info, c.info}));
    ASSERT_TRUE(items.activate("trashItems"));
    waitForRequests();
    EXPECT_THAT(log(), HasSubstr("] trash paths: [\"" + (work / "b") + "\", \"" + (work / "a a") +
                                 "\", \"" + (work / "c%d") + "\"]\n"));
    EXPECT_EQ(runCommand("ls -A " + shellQuote(work.path())).out, "");
    EXPECT_EQ(runCommand("ls " + shellQuote(*home / "data/Trash/files")).out, "a a\nb\nc%d\n");
}

TEST_F(NautilusModuleTest, NonLocalLocationsCountAsAbsent) {
    // A place without a local path is no folder: what needs one is disabled, nothing falls back
    // to the desktop folder, and copy path copies the place's address.
    File remote("sftp://example.invalid/srv", true);
    const Items background(host->backgroundItems(remote.info));
    EXPECT_THAT(
        background.text(),
        HasSubstr("新建空白文件夹  -> QuentaExtension-background-createFolder (disabled)\n"));
    ASSERT_TRUE(background.activate("copyPath"));
    EXPECT_THAT(log(), HasSubstr("] copied paths: [\"sftp://example.invalid/srv\"]\n"));

    File remoteFile("sftp://example.invalid/srv/a", false);
    File local(work / "b", false);
    runCommand("touch " + shellQuote(work / "b"));
    const Items onlyRemote(host->fileItems({remoteFile.info}));
    EXPECT_THAT(onlyRemote.text(),
                HasSubstr("剪切  -> QuentaExtension-selection-cutItems (disabled)\n"));
    ASSERT_TRUE(onlyRemote.activate("createFolder"));
    EXPECT_THAT(log(), HasSubstr("] create folder failed: no target directory\n"));
    EXPECT_EQ(runCommand("ls " + shellQuote(*home / "Desktop")).out, "");

    const Items mixed(host->fileItems({remoteFile.info, local.info}));
    ASSERT_TRUE(mixed.activate("copyPath"));
    EXPECT_THAT(log(), HasSubstr("] copied paths: [\"" + (work / "b") + "\"]\n"));
    waitForRequests();
}

TEST_F(NautilusModuleTest, AnItemRunsAgainstTheSituationOfItsOwnMenu) {
    runCommand("mkdir " + shellQuote(work / "first") + " " + shellQuote(work / "later") +
               " && touch " + shellQuote(work / "later/x"));
    File first(work / "first", true);
    File later(work / "later/x", false);
    const Items shown(host->backgroundItems(first.info));
    // Nautilus asks again when the selection changes, before the user picks from the first menu.
    const Items rebuilt(host->fileItems({later.info}));
    ASSERT_TRUE(shown.activate("createPlainText"));
    waitForRequests();
    EXPECT_EQ(runCommand("ls " + shellQuote(work / "first")).out, "新建文本文档.txt\n");
    EXPECT_EQ(runCommand("ls " + shellQuote(work / "later")).out, "x\n");
}

TEST_F(NautilusModuleTest, CutThenPasteFromTheNextMenuAndCopyPathEndsTheCut) {
    runCommand("mkdir " + shellQuote(work / "from") + " " + shellQuote(work / "to") + " && touch " +
               shellQuote(work / "from/one") + " " + shellQuote(work / "from/two"));
    File one(work / "from/one", false);
    File two(work / "from/two", false);
    File to(work / "to", true);
    {
        const Items selection(host->fileItems({one.info, two.info}));
        ASSERT_TRUE(selection.activate("cutItems"));
    }
    const std::string cutText = (work / "from/one") + "\n" + (work / "from/two");
    linux_platform::PasteboardStore store;
    EXPECT_EQ(store.stringForType("com.local.QuentaApp.cutPaths"), cutText);
    EXPECT_EQ(store.stringForType("public.utf8-plain-text"), cutText);

    const Items destination(host->backgroundItems(to.info));
    EXPECT_THAT(destination.text(),
                HasSubstr("粘贴到此处  -> QuentaExtension-background-pasteCutItems\n"));
    ASSERT_TRUE(destination.activate("pasteCutItems"));
    waitForRequests();
    EXPECT_EQ(runCommand("ls " + shellQuote(work / "to")).out, "one\ntwo\n");

    File moved(work / "to/one", false);
    const Items again(host->fileItems({moved.info}));
    ASSERT_TRUE(again.activate("cutItems"));
    ASSERT_TRUE(again.activate("copyPath"));
    EXPECT_EQ(store.stringForType("public.utf8-plain-text"), work / "to/one");
    const Items after(host->backgroundItems(to.info));
    EXPECT_THAT(after.text(),
                HasSubstr("粘贴到此处  -> QuentaExtension-background-pasteCutItems (disabled)\n"));
}

TEST_F(NautilusModuleTest, ACachedNewerReleaseAddsTheUpdateItemLast) {
    linux_platform::DefaultsJsonFile defaults(
        linux_platform::DefaultsJsonFile::pathForDomain("QuentaFinderExtension"));
    ASSERT_TRUE(defaults.setString("UpdateLatestVersion", "99.0").ok());
    ASSERT_TRUE(defaults.setString("UpdateLatestPageURL", "https://example.invalid/page").ok());
    File folder(work.path(), true);
    const Items items(host->backgroundItems(folder.info));
    EXPECT_THAT(items.text(),
                HasSubstr("打开终端  -> QuentaExtension-background-openTerminal\n"
                          "有新版本 v99.0 可用  -> QuentaExtension-background-openUpdatePage\n"));
    (void)defaults.remove("UpdateLatestVersion");
    (void)defaults.remove("UpdateLatestPageURL");
    const Items without(host->backgroundItems(folder.info));
    EXPECT_THAT(without.text(), Not(HasSubstr("有新版本")));
}

}  // namespace
}  // namespace quenta::testing
