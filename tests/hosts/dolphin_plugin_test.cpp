// The contract of Dolphin's plug-in: the built plug-in loaded as Dolphin loads it (Qt's plug-in
// loader and KF5's factory, the offscreen platform), asked for actions with file items as Dolphin
// builds them, and its actions triggered. The requests reach the real quentaapp in a private HOME,
// their completions come back through the GLib main context that Qt's event loop runs.
#include "adapters/linux/posix/defaults_json_file.hpp"
#include "adapters/linux/posix/pasteboard_store.hpp"
#include "support/extension_requests.hpp"
#include "support/temp_dir.hpp"

#include <KIO/UDSEntry>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <KAbstractFileItemActionPlugin>
#include <KFileItem>
#include <KFileItemActions>
#include <KFileItemListProperties>
#include <KPluginFactory>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QJsonObject>
#include <QMenu>
#include <QPluginLoader>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace quenta::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kBackgroundMenu =
    "新建空白文件夹\n"
    "Lumvik\n"
    "  文本文档 (disabled)\n"
    "  文本文档 (.txt)\n"
    "  富文本 (.rtf)\n"
    "  Markdown (.md)\n"
    "  --\n"
    "  办公文档 (disabled)\n"
    "  Word 文档 (.docx)\n"
    "  PDF 文档 (.pdf)\n"
    "  PowerPoint 演示文稿 (.pptx)\n"
    "  Excel 表格 (.xlsx)\n"
    "  --\n"
    "  数据文件 (disabled)\n"
    "  CSV 表格 (.csv)\n"
    "  JSON (.json)\n"
    "  --\n"
    "  编程开发 (disabled)\n"
    "  HTML (.html)\n"
    "  CSS (.css)\n"
    "  JavaScript (.js)\n"
    "  Python (.py)\n"
    "  Swift (.swift)\n"
    "  Shell 脚本 (.sh)\n"
    "剪切 (disabled)\n"
    "粘贴到此处 (disabled)\n"
    "移到废纸篓 (disabled)\n"
    "拷贝路径\n"
    "打开终端\n";

std::string describe(const QList<QAction*>& actions, const std::string& indent = "") {
    std::string text;
    for (const QAction* action : actions) {
        if (action->isSeparator()) {
            text += indent + "--\n";
            continue;
        }
        text += indent + action->text().toStdString() + (action->isEnabled() ? "" : " (disabled)") +
                "\n";
        if (action->menu() != nullptr) {
            text += describe(action->menu()->actions(), indent + "  ");
        }
    }
    return text;
}

// The action with this title anywhere in the tree, or null.
QAction* find(const QList<QAction*>& actions, const std::string& title) {
    for (QAction* action : actions) {
        if (action->text().toStdString() == title) {
            return action;
        }
        if (action->menu() != nullptr) {
            if (QAction* found = find(action->menu()->actions(), title)) {
                return found;
            }
        }
    }
    return nullptr;
}

// The folder item Dolphin passes for a background right-click: the root item of its listing.
KFileItem folderShown(const std::string& url) {
    KIO::UDSEntry entry;
    entry.fastInsert(KIO::UDSEntry::UDS_NAME, QStringLiteral("."));
    entry.fastInsert(KIO::UDSEntry::UDS_FILE_TYPE, S_IFDIR);
    return KFileItem(entry, QUrl(QString::fromStdString(url)), false, true);
}

class DolphinPluginTest : public ::testing::Test {
  protected:
    // One plug-in per process, as in Dolphin; the extension reads the environment when created.
    static void SetUpTestSuite() {
        home = new TempDir();
        runCommand("mkdir -p " + shellQuote(*home / ".local/state") + " " +
                   shellQuote(*home / "runtime") + " " + shellQuote(*home / "Desktop") + " " +
                   shellQuote(*home / "data") + " && chmod 700 " + shellQuote(*home / "runtime"));
        ::setenv("HOME", home->path().c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (*home / "runtime").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (*home / "data").c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        // Where KIO's own discovery finds the plug-in as it finds it for Dolphin.
        ::setenv("QT_PLUGIN_PATH", QUENTA_DOLPHIN_PLUGINS, 1);
        for (const char* name : {"XDG_STATE_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "DISPLAY",
                                 "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS"}) {
            ::unsetenv(name);
        }
        linux_platform::DefaultsJsonFile defaults(
            linux_platform::DefaultsJsonFile::pathForDomain("QuentaFinderExtension"));
        (void)defaults.setDate("UpdateNextCheckDate",
                               std::chrono::system_clock::now() + std::chrono::hours(24));
        static int argc = 1;
        static char name[] = "dolphin_plugin_tests";
        static char* argv[] = {name, nullptr};
        application = new QApplication(argc, argv);
        loader = new QPluginLoader(QStringLiteral(QUENTA_DOLPHIN_PLUGIN));
        if (auto* factory = qobject_cast<KPluginFactory*>(loader->instance())) {
            plugin = factory->create<KAbstractFileItemActionPlugin>();
        }
    }
    static void TearDownTestSuite() {
        delete plugin;
        delete application;
    }

    void SetUp() override { ASSERT_NE(plugin, nullptr) << loader->errorString().toStdString(); }

    static QList<QAction*> background(const std::string& folder) {
        const std::string url = folder.starts_with("/") ? "file://" + folder : folder;
        return plugin->actions(KFileItemListProperties({folderShown(url)}), nullptr);
    }
    static QList<QAction*> selection(const std::vector<std::string>& paths) {
        KFileItemList items;
        for (const auto& path : paths) {
            items.append(KFileItem(QUrl::fromLocalFile(QString::fromStdString(path))));
        }
        return plugin->actions(KFileItemListProperties(items), nullptr);
    }
    static void trigger(const QList<QAction*>& actions, const std::string& title) {
        QAction* action = find(actions, title);
        ASSERT_NE(action, nullptr) << title;
        action->trigger();
    }

    static std::string log() { return readFile(*home / ".local/state/QuentaFinderExtension.log"); }
    // Runs the host's event loop while it waits, as the file manager would.
    static void waitForRequests() {
        waitForExtensionRequests(*home / ".local/state/QuentaFinderExtension.log",
                                 [] { QCoreApplication::processEvents(); });
    }

    static TempDir* home;
    static QApplication* application;
    static QPluginLoader* loader;
    static KAbstractFileItemActionPlugin* plugin;
    TempDir work;
};

TempDir* DolphinPluginTest::home = nullptr;
QApplication* DolphinPluginTest::application = nullptr;
QPluginLoader* DolphinPluginTest::loader = nullptr;
KAbstractFileItemActionPlugin* DolphinPluginTest::plugin = nullptr;

TEST_F(DolphinPluginTest, IsEnabledByDefaultAndRendersTheBackgroundMenuOfTheFolderShown) {
    const QJsonObject metadata = loader->metaData().value("MetaData").toObject();
    EXPECT_TRUE(metadata.value("KPlugin").toObject().value("EnabledByDefault").toBool());
    EXPECT_TRUE(metadata.contains("X-KDE-Show-In-Submenu"));
    // KIO offers it, by its metadata, for a folder, a file and a mixed selection.
    runCommand("touch " + shellQuote(work / "f.txt") + " && mkdir " + shellQuote(work / "d"));
    for (const auto& paths : std::vector<std::vector<std::string>>{
             {work / "d"}, {work / "f.txt"}, {work / "f.txt", work / "d"}}) {
        KFileItemList items;
        for (const auto& path : paths) {
            items.append(KFileItem(QUrl::fromLocalFile(QString::fromStdString(path))));
        }
        KFileItemActions fileItemActions;
        fileItemActions.setItemListProperties(KFileItemListProperties(items));
        QMenu menu;
        fileItemActions.addActionsTo(&menu);
        EXPECT_NE(find(menu.actions(), "Lumvik"), nullptr) << paths.size() << " " << paths[0];
    }
    const auto actions = background(work.path());
    EXPECT_EQ(describe(actions), kBackgroundMenu);
    trigger(actions, "Markdown (.md)");
    waitForRequests();
    EXPECT_EQ(readFile(work / "新建Markdown.md"), "# Untitled\n");
    EXPECT_THAT(log(), HasSubstr("] main app open request sent\n"));
}

TEST_F(DolphinPluginTest, ASelectionEnablesCutAndTrashAndTargetsTheFolderThatHoldsIt) {
    runCommand("touch " + shellQuote(work / "b") + " " + shellQuote(work / "a a"));
    EXPECT_TRUE(selection({}).isEmpty());  // nothing reported, no menu
    const auto one = selection({work / "b"});
    EXPECT_THAT(describe(one), HasSubstr("剪切\n粘贴到此处 (disabled)\n移到废纸篓\n"));
    const auto several = selection({work / "b", work / "a a"});
    trigger(several, "文本文档 (.txt)");
    trigger(several, "移到废纸篓");
    waitForRequests();
    EXPECT_EQ(runCommand("ls " + shellQuote(work.path())).out, "新建文本文档.txt\n");
    EXPECT_EQ(runCommand("ls " + shellQuote(*home / "data/Trash/files")).out, "a a\nb\n");
}

TEST_F(DolphinPluginTest, AnActionRunsAgainstItsOwnMenuAndNonLocalPlacesCountAsAbsent) {
    runCommand("mkdir " + shellQuote(work / "first") + " " + shellQuote(work / "later"));
    const auto shown = background(work / "first");
    const auto rebuilt = background(work / "later");  // asked again before the pick
    trigger(shown, "新建空白文件夹");
    waitForRequests();
    EXPECT_EQ(runCommand("ls " + shellQuote(work / "first")).out, "新建文件夹\n");
    EXPECT_EQ(runCommand("ls " + shellQuote(work / "later")).out, "");

    for (const char* remote : {"sftp://example.invalid/srv", "trash:/", "smb://host/share"}) {
        trigger(background(remote), "拷贝路径");  // the place's address, never the desktop folder
        EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), remote);
    }
    EXPECT_THAT(log(), HasSubstr("] copied paths: [\"smb://host/share\"]\n"));
}

TEST_F(DolphinPluginTest, CutThenPasteFromTheNextMenuAndTheUpdateItemComesLast) {
    runCommand("mkdir " + shellQuote(work / "from") + " " + shellQuote(work / "to") + " && touch " +
               shellQuote(work / "from/one"));
    trigger(selection({work / "from/one"}), "剪切");
    EXPECT_EQ(linux_platform::PasteboardStore().stringForType("public.utf8-plain-text"),
              work / "from/one");
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), work / "from/one");
    trigger(background(work / "to"), "粘贴到此处");
    waitForRequests();
    EXPECT_EQ(runCommand("ls " + shellQuote(work / "to")).out, "one\n");

    linux_platform::DefaultsJsonFile defaults(
        linux_platform::DefaultsJsonFile::pathForDomain("QuentaFinderExtension"));
    ASSERT_TRUE(defaults.setString("UpdateLatestVersion", "99.0").ok());
    ASSERT_TRUE(defaults.setString("UpdateLatestPageURL", "https://example.invalid/page").ok());
    EXPECT_THAT(describe(background(work.path())), HasSubstr("打开终端\n有新版本 v99.0 可用\n"));
    (void)defaults.remove("UpdateLatestVersion");
    (void)defaults.remove("UpdateLatestPageURL");
    EXPECT_THAT(describe(background(work.path())), Not(HasSubstr("有新版本")));
}

}  // namespace
}  // namespace quenta::testing
