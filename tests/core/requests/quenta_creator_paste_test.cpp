#include "core/requests/creator_fixture.hpp"
#include "fakes/bracket_localizer.hpp"
#include "fakes/recording_progress_display.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

namespace quenta::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr std::string_view kCut = QuentaCreator::kCutPathsPasteboardType;
constexpr std::string_view kPlain = Pasteboard::kPlainTextType;

class PasteTest : public CreatorTest {
  protected:
    PasteTest() {
        files.addDirectory("/src");
        files.addDirectory("/dst");
    }
    // What the extension's cut leaves: the same text under the private and the plain-text type.
    void cut(const std::string& text) {
        ASSERT_TRUE(
            pasteboard.replaceContents({{std::string(kCut), text}, {std::string(kPlain), text}}));
        pasteboard.clearCount = 0;
    }
    [[nodiscard]] bool exists(const std::string& path) const { return files.node(path) != nullptr; }
};

TEST_F(PasteTest, MovesEveryItemLogsClearsAndRevealsThemInOrder) {
    files.addFile("/src/b.txt", "bee");
    files.addFile("/src/a.txt", "ay");
    files.addDirectory("/src/folder/inner");
    cut("/src/b.txt\n/src/a.txt\n/src/folder");

    creator.pasteCutItems("/dst");

    EXPECT_EQ(files.node("/dst/b.txt")->contents, "bee");
    EXPECT_EQ(files.node("/dst/a.txt")->contents, "ay");
    EXPECT_TRUE(exists("/dst/folder/inner"));
    EXPECT_FALSE(exists("/src/b.txt") || exists("/src/a.txt") || exists("/src/folder"));
    EXPECT_THAT(logMessages(),
                ElementsAre("paste cut to /dst", "moved /src/b.txt to /dst/b.txt",
                            "moved /src/a.txt to /dst/a.txt", "moved /src/folder to /dst/folder"));
    EXPECT_THAT(pasteboard.entries, IsEmpty()) << "both the private and the plain-text entry go";
    EXPECT_THAT(workspace.revealed,
                ElementsAre(ElementsAre("/dst/b.txt", "/dst/a.txt", "/dst/folder")));
    EXPECT_THAT(alerts.shown, IsEmpty());
}

TEST_F(PasteTest, ACutMadeWhileThePasteRunsIsKept) {
    files.addFile("/src/a");
    files.addFile("/src/b");
    for (const std::string first : {"/src/a", "/src/gone"}) {
        SCOPED_TRACE(first);
        cut(first);
        pasteboard.afterRead = [&] { cut("/src/b"); };
        creator.pasteCutItems("/dst");
        pasteboard.afterRead = nullptr;
        EXPECT_EQ(pasteboard.stringForType(kCut), "/src/b");
        EXPECT_EQ(pasteboard.stringForType(kPlain), "/src/b");
    }
    EXPECT_TRUE(exists("/dst/a"));
}

TEST_F(PasteTest, WithoutACutEntryNothingHappensAndThePasteboardStays) {
    files.addFile("/src/a");
    (void)pasteboard.setString("/src/a", kPlain);  // copy path writes only plain text

    creator.pasteCutItems("/dst");

    ASSERT_EQ(alerts.shown.size(), 1U);
    EXPECT_EQ(alerts.shown[0], (AlertContent{"访达右键Lumvik", "没有可粘贴的剪切项目。", "好"}));
    EXPECT_THAT(logMessages(), ElementsAre("paste cut to /dst", "paste cut failed: no cut paths"));
    EXPECT_EQ(pasteboard.clearCount, 0);
    EXPECT_EQ(pasteboard.stringForType(kPlain), "/src/a");
    EXPECT_TRUE(exists("/src/a"));
    EXPECT_THAT(workspace.revealed, IsEmpty());
}

TEST_F(PasteTest, WhenNoCutItemExistsAnyMoreTheEntryIsCleared) {
    files.addFile("/src/relative");
    for (const std::string text : {"", "\n", "\n\n\n", "/src/gone", "/src/gone\n/src/also-gone",
                                   "src/relative", "./relative\n../src/relative"}) {
        SCOPED_TRACE(text);
        alerts.shown.clear();
        cut(text);
        creator.pasteCutItems("/dst");
        EXPECT_THAT(alerts.messages(), ElementsAre("剪切项目不存在，无法粘贴。"));
        EXPECT_EQ(pasteboard.clearCount, 1);
        EXPECT_THAT(pasteboard.entries, IsEmpty());
    }
    EXPECT_TRUE(exists("/src/relative"));
    EXPECT_THAT(workspace.revealed, IsEmpty());
    for (const auto& message : logMessages()) {
        EXPECT_EQ(message, "paste cut to /dst") << "nothing beyond the first line is logged";
    }
}

// A file system that answers every existence test with yes, as when items vanish between the test
// and the move.
class EverythingExists : public FakeFileSystem {
  public:
    [[nodiscard]] bool itemExists(const std::string& path) const override {
        (void)FakeFileSystem::itemExists(path);
        return true;
    }
};

TEST(PasteVanishingTest, AnItemGoneBeforeItsMoveFailsAloneAndRelativePiecesAreNeverTried) {
    EverythingExists files;
    files.addDirectory("/home/ann/.local/state");
    files.addDirectory("/dst");
    files.addFile("/src/kept");
    FixedClock clock;
    RecordingAlerts alerts;
    RecordingWorkspace workspace;
    SequentialUuidSource uuids;
    ActivityLog log(files, clock, "QuentaApp.log");
    MemoryPasteboard pasteboard;
    QuentaCreator creator({files, alerts, workspace, uuids, log, pasteboard});
    (void)pasteboard.setString("relative/kept\n/src/gone\n/src/kept", kCut);

    creator.pasteCutItems("/dst");

    // Every name looks taken, so both get the UUID name; only the vanished item fails.
    EXPECT_THAT(alerts.messages(),
                ElementsAre("部分项目移动失败：\n\ngone：No such file or directory"));
    EXPECT_THAT(workspace.revealed,
                ElementsAre(ElementsAre("/dst/kept 00000000-0000-4000-8000-000000000002")));
    EXPECT_EQ(files.node("/src/kept"), nullptr);
    EXPECT_EQ(pasteboard.stringForType(kCut), std::nullopt);
}

TEST_F(PasteTest, ReaderSplitsOnlyAtLoneLineFeedsAndKeepsPiecesWhole) {
    // A carriage return before a line feed forms one character with it: no split there. The piece
    // "/src/odd\r\n/dir/x" is one path, inside a folder whose name ends in CR LF.
    files.addFile("/src/odd\r\n/dir/x", "crlf");
    files.addFile("/src/odd");
    files.addFile("/dir/x");
    files.addFile("/src/trailing blank ", "blank");
    files.addFile("/src/trailing blank");
    files.addFile("/src/lone\rcr", "cr");
    cut("\n\n/src/odd\r\n/dir/x\n\n/src/trailing blank \n/src/lone\rcr\n");

    creator.pasteCutItems("/dst");

    EXPECT_EQ(files.node("/dst/x")->contents, "crlf");
    EXPECT_EQ(files.node("/dst/trailing blank ")->contents, "blank");
    EXPECT_EQ(files.node("/dst/lone\rcr")->contents, "cr");
    EXPECT_TRUE(exists("/src/odd") && exists("/dir/x") && exists("/src/trailing blank"));
    EXPECT_THAT(workspace.revealed,
                ElementsAre(ElementsAre("/dst/x", "/dst/trailing blank ", "/dst/lone\rcr")));
    EXPECT_THAT(alerts.shown, IsEmpty());
}

TEST_F(PasteTest, MissingItemsAreReportedAsNotMovedAndOnlyThePrivateTypeIsRead) {
    files.addFile("/src/here");
    (void)pasteboard.setString("/src/gone\n/src/here", kCut);
    (void)pasteboard.setString("/src/other", kPlain);
    files.addFile("/src/other");

    creator.pasteCutItems("/dst");

    EXPECT_THAT(logMessages(),
                ElementsAre("paste cut to /dst", "move failed /src/gone: No such file or directory",
                            "moved /src/here to /dst/here"));
    EXPECT_TRUE(exists("/src/other"));
    EXPECT_THAT(alerts.messages(),
                ElementsAre("部分项目移动失败：\n\ngone：No such file or directory"));
}

TEST_F(PasteTest, ItemsAlreadyInTheFolderStayAndAreSelectedWhereTheyAre) {
    files.addFile("/dst/a");
    files.addDirectory("/dst/sub");
    files.addFile("/dst/b");
    files.addFile("/src/c");
    cut("/dst/a\n/dst/sub/../b\n/dst/./sub\n/src/c");

    creator.pasteCutItems("/dst/");

    EXPECT_TRUE(exists("/dst/a") && exists("/dst/b") && exists("/dst/sub") && exists("/dst/c"));
    EXPECT_THAT(logMessages(), ElementsAre("paste cut to /dst/", "moved /src/c to /dst/c"));
    EXPECT_THAT(workspace.revealed,
                ElementsAre(ElementsAre("/dst/a", "/dst/sub/../b", "/dst/./sub", "/dst/c")));
    EXPECT_THAT(pasteboard.entries, IsEmpty());
}

TEST_F(PasteTest, TakenNamesGiveNumberedNamesAndNothingIsReplaced) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"a.txt", "a 2.txt"},           {"a.b", "a 2.b"},  // a folder named with a dot
        {".bashrc", ".bashrc 2"},       {"noext", "noext 2"},
        {"arc.tar.gz", "arc.tar 2.gz"}, {"dot.", "dot. 2"},
    };
    std::string text;
    for (const auto& [name, expected] : cases) {
        files.addFile("/dst/" + name, "old");
        if (name == "a.b") {
            files.addDirectory("/src/" + name);
        } else {
            files.addFile("/src/" + name, "new");
        }
        text += "/src/" + name + "\n";
    }
    cut(text);

    creator.pasteCutItems("/dst");

    for (const auto& [name, expected] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(files.node("/dst/" + name)->contents, "old");
        ASSERT_NE(files.node("/dst/" + expected), nullptr);
        EXPECT_FALSE(exists("/src/" + name));
    }
    EXPECT_EQ(files.node("/dst/a 2.b")->type, FakeFileSystem::Node::Type::directory);
    EXPECT_THAT(alerts.shown, IsEmpty());
}

TEST_F(PasteTest, AFolderIntoItsOwnSubfolderFailsAloneWhileTheOthersMove) {
    files.addDirectory("/src/f/sub/deep");
    files.addFile("/src/g");
    files.addDirectory("/src/fo");  // a name that merely starts like the folder's
    cut("/src/f\n/src/g\n/src/fo");
    alerts.onAlert = [&](const AlertContent&) {
        EXPECT_THAT(workspace.revealed,
                    ElementsAre(ElementsAre("/src/f/sub/deep/g", "/src/f/sub/deep/fo")))
            << "the final alert comes after the reveal";
    };

    creator.pasteCutItems("/src/f/sub/deep");

    EXPECT_THAT(alerts.messages(), ElementsAre("部分项目移动失败：\n\nf：不能移动到自身内部"));
    EXPECT_THAT(logMessages(),
                ElementsAre("paste cut to /src/f/sub/deep", "moved /src/g to /src/f/sub/deep/g",
                            "moved /src/fo to /src/f/sub/deep/fo"));
    EXPECT_TRUE(exists("/src/f/sub/deep/g"));
    EXPECT_THAT(pasteboard.entries, IsEmpty());
}

TEST_F(PasteTest, FailedMovesAreReportedTogetherAndLeaveThePasteboard) {
    files.addDirectory("/src/f");
    files.addFile("/src/x");
    files.addFile("/src/y");
    files.failWritesIn("/dst", {ErrorKind::permissionDenied, "Permission denied"});
    cut("/src/x\n/src/y");

    creator.pasteCutItems("/dst");
    // Pasting a folder into that very folder is not caught by the containment test: the move
    // itself is refused and reported.
    cut("/src/f");
    creator.pasteCutItems("/src/f");

    EXPECT_THAT(alerts.messages(),
                ElementsAre("部分项目移动失败：\n\nx：Permission denied\ny：Permission denied",
                            "部分项目移动失败：\n\nf：Invalid argument"));
    EXPECT_THAT(logMessages(),
                ElementsAre("paste cut to /dst", "move failed /src/x: Permission denied",
                            "move failed /src/y: Permission denied", "paste cut to /src/f",
                            "move failed /src/f: Invalid argument"));
    EXPECT_TRUE(exists("/src/x") && exists("/src/y") && exists("/src/f"));
    EXPECT_EQ(pasteboard.clearCount, 0);
    EXPECT_EQ(pasteboard.stringForType(kCut), "/src/f");
    EXPECT_THAT(workspace.revealed, IsEmpty());
}

TEST_F(PasteTest, ADestinationReachedThroughALinkIntoTheFolderIsRefused) {
    files.addDirectory("/src/f/inner");
    files.addSymlink("/dst/way-in", "/src/f/inner");
    files.addDirectory("/elsewhere");
    files.addSymlink("/src/link-to-elsewhere", "/elsewhere");
    cut("/src/f\n/src/link-to-elsewhere");

    creator.pasteCutItems("/dst/way-in");

    const std::string line = "f：不能移动到自身内部（目标文件夹经由符号链接位于其中）";
    EXPECT_THAT(alerts.messages(), ElementsAre("部分项目移动失败：\n\n" + line));
    EXPECT_THAT(logMessages(),
                ElementsAre("paste cut to /dst/way-in",
                            "move failed /src/f: cannot move into itself (the destination lies "
                            "inside it through a symbolic link)",
                            "moved /src/link-to-elsewhere to /dst/way-in/link-to-elsewhere"));
    EXPECT_TRUE(exists("/src/f/inner"));
}

TEST_F(PasteTest, ALinkToAFolderMovesAsALinkIntoThatFolder) {
    files.addDirectory("/elsewhere");
    files.addSymlink("/src/l", "/elsewhere");
    cut("/src/l");

    creator.pasteCutItems("/elsewhere");

    ASSERT_NE(files.node("/elsewhere/l"), nullptr);
    EXPECT_EQ(files.node("/elsewhere/l")->type, FakeFileSystem::Node::Type::symlink);
    EXPECT_THAT(alerts.shown, IsEmpty());
}

// Outcomes that must not read as "nothing cut" or as a plain success.
TEST_F(PasteTest, AnUnreadableCutAndAFolderTakenAwayMidwayAreEachSaidAsSuch) {
    files.addFile("/src/a");
    cut("/src/a");
    pasteboard.readError = Error{ErrorKind::other, "Input/output error"};
    creator.pasteCutItems("/dst");
    pasteboard.readError.reset();
    EXPECT_TRUE(exists("/src/a"));

    files.addDirectory("/src/tree");
    MoveOutcome away;
    away.movedAway =
        MoveOutcome::MovedAway{"/src/tree/sub", "/home/u/.local/share/Trash/files/sub"};
    files.copyOnMove("/src/tree", {.bytes = 10, .steps = 1, .outcome = away});
    cut("/src/tree");
    creator.pasteCutItems("/dst");

    EXPECT_THAT(alerts.messages(),
                ElementsAre("无法读取剪切的项目：Input/output error",
                            "部分项目移动失败：\n\ntree：已移动，但移动期间其他程序移走了文件夹，"
                            "其中尚未移动的项目现在位于：/home/u/.local/share/Trash/files/sub"));
}

TEST_F(PasteTest, APasteAskedForAgainAfterACrashFindsTheItemsTheFinishedMoveLeftHere) {
    files.addFile("/src/b");
    files.addFile("/dst/a");  // the copy an earlier paste placed before it died
    files.interruptedMoves = {{"/src/a", "/dst/a", true, {}}};
    cut("/src/a\n/src/b");

    creator.pasteCutItems("/dst");

    EXPECT_FALSE(exists("/dst/a 2"));
    EXPECT_TRUE(exists("/dst/b"));
    EXPECT_THAT(workspace.revealed, ElementsAre(ElementsAre("/dst/a", "/dst/b")));
    EXPECT_THAT(alerts.shown, IsEmpty());
    EXPECT_THAT(logMessages(),
                ElementsAre("paste cut to /dst", "finished interrupted move /src/a to /dst/a",
                            "moved /src/b to /dst/b"));
}

TEST_F(PasteTest, ASecondPasteFindsNoCutPathsThroughTheDispatcher) {
    files.addFile("/src/a");
    cut("/src/a");

    creator.handle("quentaapp://pasteCut?path=/dst/");
    creator.handle("quentaapp://pasteCut?path=/dst");

    EXPECT_TRUE(exists("/dst/a"));
    EXPECT_THAT(alerts.messages(), ElementsAre("没有可粘贴的剪切项目。"));
    EXPECT_THAT(logMessages(),
                ElementsAre("handle url: quentaapp://pasteCut?path=/dst/",
                            "request from: a host of the extension", "paste cut to /dst",
                            "moved /src/a to /dst/a", "handle url: quentaapp://pasteCut?path=/dst",
                            "request from: a host of the extension", "paste cut to /dst",
                            "paste cut failed: no cut paths"));
}

class LongPasteTest : public PasteTest {
  protected:
    LongPasteTest() {
        files.onCopyStep = [this] { clock.advance(std::chrono::milliseconds(300)); };
    }
    RecordingProgressDisplay display;
    QuentaCreator showing{{files, alerts, workspace, uuids, log, pasteboard, &display, &clock}};
};

TEST_F(LongPasteTest, ShortCopiesShowNothingAndLongOnesShowTheirBytesTenTimesASecondAtMost) {
    files.addFile("/src/small");
    files.addFile("/src/large");
    files.copyOnMove("/src/small", {.bytes = 300, .steps = 3, .outcome = {}});
    files.copyOnMove("/src/large", {.bytes = 1000, .steps = 4, .outcome = {}});
    cut("/src/small\n/src/large");
    showing.pasteCutItems("/dst");

    // 0.9 s of copying for the first item, then 1.2 s more: shown from the second second on.
    using Shown = RecordingProgressDisplay::Shown;
    EXPECT_THAT(display.shown, ElementsAre(Shown{"large", 500, 1000}, Shown{"large", 750, 1000},
                                           Shown{"large", 1000, 1000}));
    EXPECT_EQ(display.closed, 1);
    EXPECT_TRUE(exists("/dst/small") && exists("/dst/large"));
    EXPECT_THAT(alerts.messages(), IsEmpty());
}

TEST_F(LongPasteTest, ACancelKeepsWhatMovedAndFailsTheRestAsCancelled) {
    for (const char* name : {"/src/done", "/src/long", "/src/after"}) {
        files.addFile(name);
    }
    files.copyOnMove("/src/long", {.bytes = 1000, .steps = 10, .outcome = {}});
    display.cancelAfterShows = 1;
    cut("/src/done\n/src/long\n/src/after");
    showing.pasteCutItems("/dst");

    EXPECT_TRUE(exists("/dst/done") && exists("/src/long") && exists("/src/after"));
    EXPECT_THAT(alerts.messages(),
                ElementsAre("部分项目移动失败：\n\nlong：已取消\nafter：已取消"));
    EXPECT_THAT(logMessages(), ElementsAre("paste cut to /dst", "moved /src/done to /dst/done",
                                           "move failed /src/long: cancelled",
                                           "move failed /src/after: cancelled"));
    EXPECT_EQ(display.closed, 1);
    EXPECT_THAT(workspace.revealed, ElementsAre(std::vector<std::string>{"/dst/done"}));
}

TEST_F(LongPasteTest, TheAlertLocalisesEachOfItsPartsAndTheLogKeepsTheTextsAsTheyStand) {
    const BracketLocalizer localizer;
    QuentaCreator localized{
        {files, alerts, workspace, uuids, log, pasteboard, &display, &clock, localizer}};
    files.addFile("/src/long");
    files.addFile("/src/after");
    files.copyOnMove("/src/long", {.bytes = 1000, .steps = 10, .outcome = {}});
    display.cancelAfterShows = 1;
    cut("/src/gone\n/src/long\n/src/after");
    localized.pasteCutItems("/dst");

    // The system's description of a failure and the items' names are never keys.
    ASSERT_EQ(alerts.shown.size(), 1U);
    EXPECT_EQ(alerts.shown[0],
              (AlertContent{"[访达右键Lumvik]",
                            "[部分项目移动失败：\n\n]gone[：]No such file or directory\n"
                            "long[：][已取消]\nafter[：][已取消]",
                            "[好]"}));
    EXPECT_THAT(
        logMessages(),
        ElementsAre("paste cut to /dst", "move failed /src/gone: No such file or directory",
                    "move failed /src/long: cancelled", "move failed /src/after: cancelled"));
}

TEST_F(PasteTest, WhatStayedAtTheSourceIsNamedInTheAlert) {
    files.addDirectory("/src/f");
    files.addDirectory("/src/g");
    files.copyOnMove(
        "/src/f",
        {.bytes = 0,
         .steps = 1,
         .outcome = {.leftAtSource = {"/src/f/new.txt"}, .removalError = {}, .movedAway = {}}});
    files.copyOnMove(
        "/src/g",
        {.bytes = 0,
         .steps = 1,
         .outcome = {.leftAtSource = {"/src/g/a", "/src/g/b"},
                     .removalError = Error{ErrorKind::permissionDenied, "Permission denied"},
                     .movedAway = {}}});
    cut("/src/f\n/src/g");
    creator.pasteCutItems("/dst");

    EXPECT_THAT(
        alerts.messages(),
        ElementsAre("部分项目移动失败：\n\nf：已移动，以下项目留在原位置：[\"/src/f/new.txt\"]"
                    "\ng：已移动，以下项目留在原位置（Permission denied）：[\"/src/g/a\", "
                    "\"/src/g/b\"]"));
    EXPECT_THAT(logMessages(),
                ElementsAre("paste cut to /dst", "moved /src/f to /dst/f",
                            "moved with items left at the source [\"/src/f/new.txt\"]",
                            "moved /src/g to /dst/g",
                            "moved with items left at the source [\"/src/g/a\", \"/src/g/b\"]"));
    EXPECT_EQ(pasteboard.clearCount, 1);
}

}  // namespace
}  // namespace quenta::testing
