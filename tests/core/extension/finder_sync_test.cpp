#include "core/extension/finder_sync.hpp"

#include "core/shared/list_form.hpp"
#include "core/shared/request_url.hpp"
#include "fakes/fake_extension_ports.hpp"
#include "fakes/fake_file_system.hpp"
#include "fakes/fixed_bundle.hpp"
#include "fakes/fixed_clock.hpp"
#include "fakes/manual_main_queue.hpp"
#include "fakes/memory_defaults.hpp"
#include "fakes/memory_pasteboard.hpp"
#include "fakes/recording_system_log.hpp"
#include "fakes/scripted_http_client.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quenta::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class FinderSyncTest : public ::testing::Test {
  protected:
    FinderSyncTest() {
        files.addDirectory("/home/ann/.local/state");
        files.addDirectory("/Users/ann/Notes/Sub");
        files.addFile("/Users/ann/Notes/a.txt");
        files.addFile("/Users/ann/Notes/b.txt");
        files.addDirectory("/Users/ann/Desktop");
    }

    [[nodiscard]] std::vector<std::string> logMessages() const {
        std::vector<std::string> messages;
        for (const auto& message : systemLog.messages) {
            messages.push_back(message.substr(FinderSync::kSystemLogPrefix.size()));
        }
        return messages;
    }

    FakeFileSystem files;
    FixedClock clock;
    RecordingSystemLog systemLog;
    ActivityLog log{files, clock, std::string(FinderSync::kLogFileName), &systemLog,
                    std::string(FinderSync::kSystemLogPrefix)};
    FakeFileManagerController controller;
    FakeFrontWindowQuery frontWindow;
    MemoryPasteboard pasteboard;
    RecordingLauncher launcher;
    CountingIcons icons;
    MemoryDefaults defaults;
    ManualMainQueue mainQueue{clock};
    ScriptedHttpClient http{mainQueue};
    FixedBundle bundle{"1.0"};
    UpdateChecker updates{defaults, http, mainQueue, clock, bundle};
    FinderSync finder{{files, controller, frontWindow, pasteboard, launcher, icons, log}, updates};
};

TEST_F(FinderSyncTest, ObservesTheRootAndOffersTheToolbarButton) {
    EXPECT_THAT(controller.observedFolders, ElementsAre("/"));
    EXPECT_EQ(finder.toolbarItemName(), "Lumvik");
    EXPECT_EQ(finder.toolbarItemToolTip(), "在当前位置新建文件");
    EXPECT_EQ(finder.toolbarItemImage(), (MenuImage{"doc.badge.plus", "Lumvik", 16, 16}));
    EXPECT_THAT(logMessages(), IsEmpty());
}

TEST_F(FinderSyncTest, MenuWithoutSelectionOrCutDisablesCutTrashAndPaste) {
    const Menu menu = finder.menu();
    EXPECT_EQ(printMenu(menu),
              "新建空白文件夹  -> createFolder\n"
              "Lumvik\n"
              "  文本文档 (disabled)\n"
              "  文本文档 (.txt)  -> createPlainText\n"
              "  富文本 (.rtf)  -> createRichText\n"
              "  Markdown (.md)  -> createMarkdown\n"
              "  --\n"
              "  办公文档 (disabled)\n"
              "  Word 文档 (.docx)  -> createWord\n"
              "  PDF 文档 (.pdf)  -> createPDF\n"
              "  PowerPoint 演示文稿 (.pptx)  -> createPowerPoint\n"
              "  Excel 表格 (.xlsx)  -> createExcel\n"
              "  --\n"
              "  数据文件 (disabled)\n"
              "  CSV 表格 (.csv)  -> createCSV\n"
              "  JSON (.json)  -> createJSON\n"
              "  --\n"
              "  编程开发 (disabled)\n"
              "  HTML (.html)  -> createHTML\n"
              "  CSS (.css)  -> createCSS\n"
              "  JavaScript (.js)  -> createJavaScript\n"
              "  Python (.py)  -> createPython\n"
              "  Swift (.swift)  -> createSwift\n"
              "  Shell 脚本 (.sh)  -> createShell\n"
              "剪切  -> cutItems (disabled)\n"
              "粘贴到此处  -> pasteCutItems (disabled)\n"
              "移到废纸篓  -> trashItems (disabled)\n"
              "拷贝路径  -> copyPath\n"
              "打开终端  -> openTerminal\n");
    EXPECT_EQ(menu.items.size(), 7u);
    EXPECT_EQ(menu.items[1].submenu.size(), 22u);
    EXPECT_FALSE(menu.items[0].enabled.has_value()) << "enabled state left unset";
    EXPECT_EQ(menu.items[2].image, (MenuImage{"scissors", "剪切", 16, 16}));
    EXPECT_EQ(menu.items[1].submenu[1].image, (MenuImage{"type-txt", "", 16, 16}));
}

TEST_F(FinderSyncTest, SelectionAndCutEntryEnableTheirItemsAndIconsAreMadeOnce) {
    controller.selected = std::vector<std::string>{"/Users/ann/Notes/a.txt"};
    (void)pasteboard.setString("", FinderSync::cutPathsPasteboardType);
    const Menu first = finder.menu();
    EXPECT_TRUE(findMenuItem(first, "cutItems")->isEnabled());
    EXPECT_TRUE(findMenuItem(first, "trashItems")->isEnabled());
    EXPECT_TRUE(findMenuItem(first, "pasteCutItems")->isEnabled()) << "an empty text counts";
    const int fileQuestions = icons.fileTypeQuestions;
    const int symbolQuestions = icons.symbolQuestions;
    EXPECT_EQ(fileQuestions, 15);
    EXPECT_EQ(symbolQuestions, 7);
    EXPECT_EQ(finder.menu(), first);
    EXPECT_EQ(icons.fileTypeQuestions, fileQuestions);
    EXPECT_EQ(icons.symbolQuestions, symbolQuestions);
    // The symbol cache is keyed by name alone: the submenu's image serves the toolbar too.
    EXPECT_EQ(finder.toolbarItemImage(), (MenuImage{"doc.badge.plus", "", 16, 16}));
}

TEST_F(FinderSyncTest, StartUpChecksOnceAndACachedNewerReleaseAddsTheUpdateItem) {
    EXPECT_EQ(http.requests.size(), 1u) << "start-up starts the due check";
    (void)finder.menu();
    EXPECT_EQ(http.requests.size(), 1u) << "the next check is not due within the hour";
    finder.openUpdatePage();
    EXPECT_THAT(launcher.browsed, IsEmpty());
    EXPECT_THAT(logMessages(), IsEmpty());

    (void)defaults.setString(UpdateChecker::kLatestVersionKey, "2.0");
    (void)defaults.setString(UpdateChecker::kLatestPageURLKey,
                             "https://quentaapp.org/works/quentaapp/");
    const Menu menu = finder.menu();
    ASSERT_EQ(menu.items.size(), 8u);
    EXPECT_EQ(menu.items[7].title, "有新版本 v2.0 可用");
    EXPECT_EQ(menu.items[7].action, "openUpdatePage");
    EXPECT_EQ(menu.items[7].image, (MenuImage{"arrow.down.circle", "有新版本 v2.0 可用", 16, 16}));
    ASSERT_TRUE(finder.perform("openUpdatePage"));
    EXPECT_THAT(launcher.browsed, ElementsAre("https://quentaapp.org/works/quentaapp/"));
    EXPECT_THAT(logMessages(),
                ElementsAre("open update page: https://quentaapp.org/works/quentaapp/"));
}

TEST_F(FinderSyncTest, AMissingSymbolGivesAnEmptyImage) {
    icons.missingSymbol = "trash";
    EXPECT_EQ(findMenuItem(finder.menu(), "trashItems")->image, (MenuImage{"", "", 16, 16}));
}

TEST_F(FinderSyncTest, TargetDirectoryResolution) {
    struct Case {
        std::optional<std::string> targeted;
        std::optional<std::vector<std::string>> selected;
        std::optional<std::string> expected;
    };
    frontWindow.answer = std::string("/Users/ann/Desktop/");
    const std::vector<Case> cases = {
        {"/Users/ann", std::vector<std::string>{"/Users/ann/Notes/Sub"}, "/Users/ann/Notes/Sub"},
        {"/Users/ann", std::vector<std::string>{"/Users/ann/Notes/a.txt"}, "/Users/ann"},
        {"/Users/ann/Notes/a.txt", std::nullopt, "/Users/ann/Notes"},
        {"/Users/ann/gone.txt", std::nullopt, "/Users/ann"},
        {"/Users/ann", std::vector<std::string>{"/Users/ann/Notes", "/Users/ann/Notes/Sub"},
         "/Users/ann"},
        {std::nullopt, std::vector<std::string>{"/Users/ann/Notes/b.txt", "/Users/ann/Notes/Sub"},
         "/Users/ann/Notes"},
        {std::nullopt, std::vector<std::string>{"/Users/ann/Notes/Sub", "/x"},
         "/Users/ann/Notes/Sub"},
        {std::nullopt, std::nullopt, "/Users/ann/Desktop"},
        {std::nullopt, std::vector<std::string>{}, "/Users/ann/Desktop"},
    };
    for (const auto& c : cases) {
        controller.targeted = c.targeted;
        controller.selected = c.selected;
        EXPECT_EQ(finder.targetDirectoryURL(), c.expected)
            << c.targeted.value_or("nil") << " / " << (c.selected ? c.selected->size() : 99);
    }
    EXPECT_THAT(frontWindow.scripts,
                ElementsAre(FinderSync::kFrontWindowScript, FinderSync::kFrontWindowScript));
    EXPECT_EQ(FinderSync::kFrontWindowScript.size(), 220u);
}

TEST_F(FinderSyncTest, TheTargetLineUsesDebugTextAndAFailedScriptIsLogged) {
    frontWindow.answer = Error{ErrorKind::other, "{\n    NSAppleScriptErrorNumber = -1743;\n}"};
    EXPECT_EQ(finder.targetDirectoryURL(), std::nullopt);
    controller.selected = std::vector<std::string>{};
    (void)finder.targetDirectoryURL();
    controller.targeted = "/it's \"q\"";
    controller.selected = std::vector<std::string>{"/a", "/b\nc"};
    (void)finder.targetDirectoryURL();
    EXPECT_THAT(
        logMessages(),
        ElementsAre("targetedURL=nil, selected=nil",
                    "Finder AppleScript failed: Optional({\\x0a    NSAppleScriptErrorNumber = "
                    "-1743;\\x0a})",
                    "targetedURL=nil, selected=Optional([])",
                    "Finder AppleScript failed: Optional({\\x0a    NSAppleScriptErrorNumber = "
                    "-1743;\\x0a})",
                    "targetedURL=Optional(\"/it\\'s \\\"q\\\"\"), "
                    "selected=Optional([\"/a\", \"/b\\nc\"])"));
    frontWindow.answer = Error{};
    EXPECT_EQ(finder.frontFinderWindowURL(), std::nullopt);
    EXPECT_EQ(logMessages().back(), "Finder AppleScript failed: nil");
}

TEST_F(FinderSyncTest, PathTargetsPreferTheSelectionThenTheTargetThenTheFrontWindow) {
    controller.selected = std::vector<std::string>{"/c", "/a", "/b"};
    controller.targeted = "/Users/ann/Notes/a.txt";
    EXPECT_THAT(finder.pathTargetURLs(), ElementsAre("/c", "/a", "/b"));
    controller.selected = std::vector<std::string>{};
    EXPECT_THAT(finder.pathTargetURLs(), ElementsAre("/Users/ann/Notes/a.txt"));
    controller.targeted.reset();
    frontWindow.answer = std::string("/Users/ann/Desktop");
    EXPECT_THAT(finder.pathTargetURLs(), ElementsAre("/Users/ann/Desktop"));
    frontWindow.answer = Error{};
    EXPECT_THAT(finder.pathTargetURLs(), IsEmpty());
}

TEST_F(FinderSyncTest, CreateSendsTypeThenPathAndLogsEveryStep) {
    controller.targeted = "/Users/ann";
    controller.selected = std::vector<std::string>{"/Users/ann/Notes/Sub"};
    ASSERT_TRUE(finder.perform("createMarkdown"));
    EXPECT_THAT(launcher.sent,
                ElementsAre("quentaapp://create?type=markdown&path=/Users/ann/Notes/Sub"));
    EXPECT_THAT(logMessages(),
                ElementsAre("create invoked for markdown",
                            "targetedURL=Optional(\"/Users/ann\"), "
                            "selected=Optional([\"/Users/ann/Notes/Sub\"])",
                            "target directory: /Users/ann/Notes/Sub",
                            "opening callback URL: "
                            "quentaapp://create?type=markdown&path=/Users/ann/Notes/Sub",
                            "main app open request sent"));
    EXPECT_FALSE(finder.perform("createNothing"));
}

TEST_F(FinderSyncTest, FolderCommandsWithoutATargetSendNothing) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"createPDF", "failed: no target directory"},
        {"createFolder", "create folder failed: no target directory"},
        {"pasteCutItems", "paste cut failed: no target directory"},
        {"openTerminal", "open terminal failed: no target directory"},
    };
    for (const auto& [selector, line] : cases) {
        ASSERT_TRUE(finder.perform(selector));
        EXPECT_EQ(logMessages().back(), line);
    }
    EXPECT_THAT(launcher.sent, IsEmpty());
}

// A place without a local path (the Trash, a remote folder without FUSE): what needs a folder is
// disabled and sends nothing, never falling back to the desktop folder; copy path copies the
// place's address.
TEST_F(FinderSyncTest, APlaceWithoutALocalPathIsNoFolder) {
    frontWindow.answer = std::string("/Users/ann/Desktop");
    controller.address = "sftp://host/srv/share";
    for (auto selected : {std::optional<std::vector<std::string>>{},
                          std::optional<std::vector<std::string>>{std::vector<std::string>{}}}) {
        controller.selected = selected;
        const Menu menu = finder.menu();
        for (const char* action : {"createFolder", "createMarkdown", "pasteCutItems",
                                   "openTerminal", "cutItems", "trashItems"}) {
            EXPECT_FALSE(findMenuItem(menu, action)->isEnabled()) << action;
        }
        EXPECT_TRUE(findMenuItem(menu, "copyPath")->isEnabled());
        for (const char* action :
             {"createMarkdown", "createFolder", "pasteCutItems", "openTerminal"}) {
            ASSERT_TRUE(finder.perform(action));
        }
        EXPECT_THAT(launcher.sent, IsEmpty());
        ASSERT_TRUE(finder.perform("copyPath"));
        EXPECT_EQ(pasteboard.stringForType(Pasteboard::kPlainTextType), "sftp://host/srv/share");
    }
    controller.targeted = "/Users/ann/Notes";  // a local folder wins
    EXPECT_TRUE(findMenuItem(finder.menu(), "createFolder")->isEnabled());
}

TEST_F(FinderSyncTest, FolderCommandsSendTheirRequests) {
    files.addDirectory("/Users/ann/My Notes");
    controller.targeted = "/Users/ann/My Notes";
    finder.createFolder();
    finder.pasteCutItems();
    finder.openTerminal();
    EXPECT_THAT(launcher.sent, ElementsAre("quentaapp://folder?path=/Users/ann/My%20Notes",
                                           "quentaapp://pasteCut?path=/Users/ann/My%20Notes",
                                           "quentaapp://terminal?path=/Users/ann/My%20Notes"));
    EXPECT_EQ(logMessages()[1], "create folder target directory: /Users/ann/My Notes");
}

TEST_F(FinderSyncTest, TrashSendsOnePathItemPerSelectedItemInOrder) {
    finder.trashItems();
    EXPECT_EQ(logMessages().back(), "trash failed: no selected paths");
    EXPECT_THAT(launcher.sent, IsEmpty());

    controller.selected = std::vector<std::string>{"/b&c", "/a b", "/文档"};
    finder.trashItems();
    ASSERT_EQ(launcher.sent.size(), 1u);
    const auto url = parseUrl(launcher.sent[0]);
    ASSERT_TRUE(url.has_value());
    EXPECT_THAT(url->queryItems, ElementsAre(QueryItem{"path", "/b&c"}, QueryItem{"path", "/a b"},
                                             QueryItem{"path", "/文档"}));
    EXPECT_EQ(logMessages()[1], "trash paths: [\"/b&c\", \"/a b\", \"/文档\"]");
}

TEST_F(FinderSyncTest, CutWritesBothTypesAndCopyPathEndsThePendingCut) {
    EXPECT_TRUE(finder.cutItems());
    EXPECT_EQ(logMessages().back(), "cut failed: no selected paths");
    EXPECT_EQ(pasteboard.clearCount, 0);

    controller.selected = std::vector<std::string>{"/x/a", "/x/b"};
    EXPECT_TRUE(finder.perform("cutItems"));
    EXPECT_EQ(pasteboard.stringForType(FinderSync::cutPathsPasteboardType), "/x/a\n/x/b");
    EXPECT_EQ(pasteboard.stringForType(Pasteboard::kPlainTextType), "/x/a\n/x/b");
    EXPECT_EQ(logMessages().back(), "cut paths: [\"/x/a\", \"/x/b\"]");
    EXPECT_THAT(launcher.sent, IsEmpty());
    EXPECT_TRUE(findMenuItem(finder.menu(), "pasteCutItems")->isEnabled());

    controller.selected = std::vector<std::string>{"/x/a"};
    EXPECT_TRUE(finder.copyPath());
    EXPECT_EQ(pasteboard.stringForType(Pasteboard::kPlainTextType), "/x/a");
    EXPECT_EQ(pasteboard.stringForType(FinderSync::cutPathsPasteboardType), std::nullopt);
    EXPECT_EQ(logMessages().back(), "copied paths: [\"/x/a\"]");
    EXPECT_FALSE(findMenuItem(finder.menu(), "pasteCutItems")->isEnabled());

    controller.selected.reset();
    EXPECT_TRUE(finder.copyPath());
    EXPECT_EQ(logMessages().back(), "copy path failed: no target paths");
}

// One clipboard: the desktop's cut of files is pasted when it is not ours (a file manager's own
// Cut, newer than any cut of ours), ours otherwise; a paste ends the desktop's cut.
TEST_F(FinderSyncTest, PasteTakesTheNewerOfOurCutAndTheFileManagersOwn) {
    using Cut = Pasteboard::DesktopCut;
    const std::string cutType(FinderSync::cutPathsPasteboardType);
    struct Case {
        std::optional<std::string> ours;
        std::optional<Cut> desktop;
        bool enabled;
        std::optional<std::string> pasted;  // the cut entry when the request is sent
    };
    const std::vector<Case> cases = {
        {std::nullopt, std::nullopt, false, std::nullopt},
        {"/x/a", std::nullopt, true, "/x/a"},
        {"/x/a", Cut{{"/x/a"}, true}, true, "/x/a"},
        {std::nullopt, Cut{{"/x/a"}, true}, false, std::nullopt},
        {std::nullopt, Cut{{"/h/1", "/h/2"}, false}, true, "/h/1\n/h/2"},
        {"/x/a", Cut{{"/h/1"}, false}, true, "/h/1"},
        {std::nullopt, Cut{{}, false}, false, std::nullopt},
    };
    controller.targeted = "/Users/ann/Notes";
    for (const auto& test : cases) {
        pasteboard.entries.clear();
        if (test.ours) {
            pasteboard.entries[cutType] = *test.ours;
        }
        pasteboard.desktop = test.desktop;
        pasteboard.desktopCutEnds = 0;
        launcher.sent.clear();
        const std::string name =
            test.ours.value_or("-") + " / " + (test.desktop ? listForm(test.desktop->paths) : "-");
        EXPECT_EQ(findMenuItem(finder.menu(), "pasteCutItems")->isEnabled(), test.enabled) << name;
        if (!test.enabled) {
            continue;
        }
        finder.pasteCutItems();
        EXPECT_THAT(launcher.sent, ElementsAre("quentaapp://pasteCut?path=/Users/ann/Notes"))
            << name;
        EXPECT_EQ(pasteboard.stringForType(cutType), test.pasted) << name;
        EXPECT_EQ(pasteboard.desktopCutEnds, test.desktop ? 1 : 0) << name;
    }
    EXPECT_THAT(logMessages(),
                ::testing::Contains("paste cut takes the file manager's cut: [\"/h/1\"]"));

    // Without a folder to paste into, nothing is taken or ended.
    controller.targeted.reset();
    pasteboard.desktop = Cut{{"/h/1"}, false};
    pasteboard.desktopCutEnds = 0;
    pasteboard.entries.clear();
    finder.pasteCutItems();
    EXPECT_EQ(pasteboard.stringForType(cutType), std::nullopt);
    EXPECT_EQ(pasteboard.desktopCutEnds, 0);
}

TEST_F(FinderSyncTest, TrashIsOfferedOnlyWhereEveryItemHasAUsableTrash) {
    files.filesystemsWithoutTrash = {"/run/user/1000/gvfs"};
    const std::vector<std::pair<std::vector<std::string>, bool>> selections = {
        {{"/x/a", "/x/b"}, true},
        {{"/run/user/1000/gvfs/sftp:host=h/a"}, false},
        {{"/x/a", "/run/user/1000/gvfs/sftp:host=h/a"}, false},
    };
    for (const auto& [selection, enabled] : selections) {
        controller.selected = selection;
        EXPECT_EQ(findMenuItem(finder.menu(), "trashItems")->isEnabled(), enabled)
            << listForm(selection);
    }
}

TEST_F(FinderSyncTest, APasteboardThatRefusesTheWriteFailsTheCutAndTheCopy) {
    controller.selected = std::vector<std::string>{"/x/a"};
    pasteboard.writeError = Error{ErrorKind::permissionDenied, "refused"};
    const Status cut = finder.perform("cutItems");
    ASSERT_FALSE(cut);
    EXPECT_EQ(cut.error().description, "refused");
    EXPECT_EQ(logMessages().back(), "cut failed: refused");
    EXPECT_FALSE(finder.perform("copyPath"));
    EXPECT_EQ(logMessages().back(), "copy path failed: refused");
}

TEST_F(FinderSyncTest, AFailedLaunchIsLoggedAndALateCompletionOfAGoneInstanceDoesNothing) {
    controller.targeted = "/Users/ann";
    launcher.outcome = Error{ErrorKind::notFound, "No such file or directory"};
    finder.createFolder();
    EXPECT_EQ(logMessages().back(), "failed to open main app: No such file or directory");

    launcher.completeAtOnce = false;
    {
        FinderSync other({files, controller, frontWindow, pasteboard, launcher, icons, log},
                         updates);
        other.createFolder();
    }
    const auto before = logMessages().size();
    ASSERT_EQ(launcher.pending.size(), 1u);
    launcher.pending[0](Status{});
    EXPECT_EQ(logMessages().size(), before);
}

}  // namespace
}  // namespace quenta::testing
