#include "core/requests/creator_fixture.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quenta::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using DispatchTest = CreatorTest;

TEST_F(DispatchTest, InvalidRequestsShowTheirCommandsMessageAndChangeNothing) {
    files.addDirectory("/d");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"http://create?type=markdown&path=/d", "新建文件请求无效。"},
        {"QuentaApp://create?type=markdown&path=/d", "新建文件请求无效。"},
        {"no scheme at all", "新建文件请求无效。"},
        {"quentaapp://create?type=markdown&path=/a%zzb", "新建文件请求无效。"},
        {"quentaapp:create?type=markdown&path=/d", "新建文件请求无效。"},
        {"quentaapp://create", "新建文件请求无效。"},
        {"quentaapp://create?type=txt&path=/d", "新建文件请求无效。"},
        {"quentaapp://create?type=Markdown&path=/d", "新建文件请求无效。"},
        {"quentaapp://create?type&type=markdown&path=/d", "新建文件请求无效。"},
        {"quentaapp://create?type=markdown", "新建文件请求无效。"},
        {"quentaapp://create?type=markdown&path", "新建文件请求无效。"},
        {"quentaapp://Create?type=markdown&path=/d", "请求无效：Create"},
        {"quentaapp://paste?path=/d", "请求无效：paste"},
        {"quentaapp://folder", "新建文件夹请求无效。"},
        {"quentaapp://folder?x=/d", "新建文件夹请求无效。"},
        {"quentaapp://pasteCut?path", "粘贴请求无效。"},
        {"quentaapp://pastecut?path=/d", "请求无效：pastecut"},
        {"quentaapp://terminal?paths=/d", "打开终端请求无效。"},
        {"quentaapp://trash", "移到废纸篓请求无效。"},
        {"quentaapp://trash?x=1&path", "移到废纸篓请求无效。"},
    };
    for (const auto& [url, message] : cases) {
        alerts.shown.clear();
        creator.handle(url);
        ASSERT_EQ(alerts.shown.size(), 1u) << url;
        EXPECT_EQ(alerts.shown[0], (AlertContent{"访达右键Lumvik", message, "好"})) << url;
    }
    EXPECT_EQ(files.nodes().size(), 7u) << "only /, /d, the log and the four folders above it";
    EXPECT_THAT(workspace.revealed, IsEmpty());
    // Every request, valid or not, leaves exactly its "handle url: " line and where it came from.
    const auto messages = logMessages();
    ASSERT_EQ(messages.size(), 2 * cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(messages[2 * i], "handle url: " + cases[i].first);
        EXPECT_EQ(messages[2 * i + 1], "request from: a host of the extension");
    }
}

TEST_F(DispatchTest, ARequestFromOutsideIsDoneOnlyOnThePersonsYes) {
    files.addDirectory("/d");
    files.addDirectory("/src/a");
    ASSERT_TRUE(
        pasteboard.setString("/src/a\n/src/b\x1b[2J", QuentaCreator::kCutPathsPasteboardType));
    const struct {
        std::string url;
        std::string asked;
        std::string firstStep;
    } cases[] = {
        {"create?type=plainText&path=/d", "在此文件夹中新建文件：\n/d\n类型：plainText",
         "create plainText in /d"},
        {"folder?path=/d/", "在此文件夹中新建文件夹：\n/d", "create folder in /d"},
        {"pasteCut?path=/d",
         "将剪切的项目移动到此文件夹：\n/d\n\n剪切的项目：\n/src/a\n/src/b\\x1b[2J",
         "paste cut to /d"},
        {"terminal?path=/d", "在此文件夹中打开终端：\n/d", "open terminal in /d"},
        {"trash?path=/d/%E2%80%AEtxt.exe&path=/d/%0A",
         "将以下项目移到废纸篓：\n/d/\\u202etxt.exe\n/d/\\x0a", "trash ["},
    };
    for (const auto& c : cases) {
        const std::string url = "quentaapp://" + c.url;
        for (const auto answer : {ConfirmationAnswer::cancelled, ConfirmationAnswer::unavailable,
                                  ConfirmationAnswer::confirmed}) {
            const std::size_t nodes = files.nodes().size();
            const std::size_t logged = logMessages().size();
            alerts.shown.clear();
            alerts.confirmations.clear();
            alerts.answer = answer;
            creator.handle(url, RequestOrigin::outside);

            const auto messages = logMessages();
            ASSERT_GE(messages.size(), logged + 3) << url;
            EXPECT_EQ(messages[logged + 1],
                      "request from: outside, through the desktop's handler of the scheme");
            EXPECT_THAT(
                alerts.confirmations,
                ElementsAre(ConfirmationContent{
                    "访达右键Lumvik", "另一个程序通过链接请求：\n\n" + c.asked, "执行", "取消"}))
                << url;
            if (answer == ConfirmationAnswer::confirmed) {
                EXPECT_EQ(messages[logged + 2], "request from outside confirmed");
                EXPECT_EQ(messages.at(logged + 3).rfind(c.firstStep, 0), 0u) << url;
                continue;
            }
            EXPECT_EQ(messages.size(), logged + 3) << url << ": nothing is done";
            EXPECT_EQ(files.nodes().size(), nodes + (logged == 0 ? 1 : 0)) << url;
            EXPECT_THAT(workspace.revealed, IsEmpty());
            if (answer == ConfirmationAnswer::cancelled) {
                EXPECT_THAT(alerts.shown, IsEmpty());
            } else {
                EXPECT_THAT(alerts.messages(),
                            ElementsAre("另一个程序通过链接发来的请求未执行：没有显示器，无法征得您"
                                        "的同意。\n\n" +
                                        c.asked));
            }
        }
        workspace.revealed.clear();
    }
}

TEST_F(DispatchTest, AQuestionNamesTwentyItemsAndCountsTheOthers) {
    std::string url = "quentaapp://trash?";
    std::string asked = "另一个程序通过链接请求：\n\n将以下项目移到废纸篓：";
    for (int i = 1; i <= 22; ++i) {
        url += "path=/d/" + std::to_string(i) + "&";
        asked += i <= 20 ? "\n/d/" + std::to_string(i) : "";
    }
    creator.handle(url, RequestOrigin::outside);
    ASSERT_EQ(alerts.confirmations.size(), 1u);
    EXPECT_EQ(alerts.confirmations[0].message, asked + "\n……另有项目：2");
}

TEST_F(DispatchTest, ItemsMayComeInAnyOrderAndOthersAreIgnored) {
    files.addDirectory("/d");
    creator.handle("quentaapp://create?x=1&path=/d&type=plainText&path=/elsewhere");
    EXPECT_THAT(alerts.shown, IsEmpty());
    EXPECT_THAT(workspace.revealed, ElementsAre(ElementsAre("/d/新建文本文档.txt")));
}

TEST_F(DispatchTest, PathValuesArriveDecoded) {
    files.addDirectory("/文档/a+b c");
    creator.handle("quentaapp://create?type=csv&path=/%E6%96%87%E6%A1%A3/a+b%20c/");
    EXPECT_THAT(alerts.shown, IsEmpty());
    EXPECT_THAT(workspace.revealed, ElementsAre(ElementsAre("/文档/a+b c/新建CSV.csv")));
    EXPECT_THAT(logMessages(),
                ElementsAre("handle url: quentaapp://create?type=csv&path=/%E6%96%87%E6%A1%A3/"
                            "a+b%20c/",
                            "request from: a host of the extension", "create csv in /文档/a+b c",
                            "created /文档/a+b c/新建CSV.csv"));
}

TEST_F(DispatchTest, FolderRequestCreatesABlankFolder) {
    files.addDirectory("/d");
    creator.handle("quentaapp://folder?path=/d");
    ASSERT_NE(files.node("/d/新建文件夹"), nullptr);
    EXPECT_TRUE(files.isDirectory("/d/新建文件夹"));
    EXPECT_THAT(logMessages(), ElementsAre("handle url: quentaapp://folder?path=/d",
                                           "request from: a host of the extension",
                                           "create folder in /d", "created folder /d/新建文件夹"));
    EXPECT_THAT(workspace.revealed, ElementsAre(ElementsAre("/d/新建文件夹")));
}

using CreationTest = CreatorTest;

TEST_F(CreationTest, MarkdownInAnEmptyFolder) {
    files.addDirectory("/Users/ann/Notes");
    creator.create(QuentaKind(FileKindId::markdown), "/Users/ann/Notes");
    const auto* file = files.node("/Users/ann/Notes/新建Markdown.md");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->contents, "# Untitled\n");
    EXPECT_THAT(logMessages(), ElementsAre("create markdown in /Users/ann/Notes",
                                           "created /Users/ann/Notes/新建Markdown.md"));
    EXPECT_THAT(workspace.revealed, ElementsAre(ElementsAre("/Users/ann/Notes/新建Markdown.md")));
    EXPECT_THAT(alerts.shown, IsEmpty());
}

TEST_F(CreationTest, FreeNamesFillGapsAndCountEveryKindOfEntry) {
    files.addFile("/d/新建文本文档.txt");
    files.addFile("/d/新建文本文档 2.txt");
    creator.create(QuentaKind(FileKindId::plainText), "/d");
    EXPECT_NE(files.node("/d/新建文本文档 3.txt"), nullptr);

    files.addFile("/d/新建CSV.csv");
    files.addFile("/d/新建CSV 3.csv");
    creator.create(QuentaKind(FileKindId::csv), "/d");
    EXPECT_NE(files.node("/d/新建CSV 2.csv"), nullptr);

    files.addDirectory("/d/新建JSON.json");
    files.addSymlink("/d/新建JSON 2.json", "/nowhere");
    creator.create(QuentaKind(FileKindId::json), "/d");
    EXPECT_EQ(files.node("/d/新建JSON 3.json")->contents, "{\n  \n}\n");
    EXPECT_EQ(files.node("/d/新建JSON 2.json")->type, FakeFileSystem::Node::Type::symlink);
    EXPECT_THAT(alerts.shown, IsEmpty());
}

TEST_F(CreationTest, AfterNineHundredNinetyNineTakenNamesAUuidNameIsUsedUntested) {
    files.addDirectory("/d/新建文件夹");
    for (int n = 2; n <= 999; ++n) {
        files.addDirectory("/d/新建文件夹 " + std::to_string(n));
    }
    const int testsBefore = files.existenceTests();
    creator.createFolder("/d");
    EXPECT_EQ(files.existenceTests() - testsBefore, 999);
    EXPECT_TRUE(files.isDirectory("/d/新建文件夹 00000000-0000-4000-8000-000000000001"));
    EXPECT_EQ(creator.uniqueURL("新建Markdown", "md", "/"), "/新建Markdown.md");
}

TEST_F(CreationTest, ExecutableKindsGet0755AndOthersKeepTheirMode) {
    files.addDirectory("/d");
    creator.create(QuentaKind(FileKindId::shell), "/d");
    creator.create(QuentaKind(FileKindId::python), "/d");
    creator.create(QuentaKind(FileKindId::swift), "/d");
    EXPECT_EQ(files.node("/d/新建Shell脚本.sh")->mode, 0755u);
    EXPECT_EQ(files.node("/d/新建Shell脚本.sh")->contents, "#!/bin/zsh\n\n");
    EXPECT_EQ(files.node("/d/新建Python.py")->mode, 0755u);
    EXPECT_EQ(files.node("/d/新建Swift.swift")->mode, 0644u);
}

TEST_F(CreationTest, AMissingFolderEndsInTheAlertNamingTheFolder) {
    creator.create(QuentaKind(FileKindId::markdown), "/missing");
    EXPECT_THAT(alerts.messages(),
                ElementsAre("创建文件失败：No such file or directory\n\n目录：/missing"));
    EXPECT_THAT(logMessages(),
                ElementsAre("create markdown in /missing", "failed No such file or directory"));
    EXPECT_THAT(workspace.revealed, IsEmpty());

    alerts.shown.clear();
    creator.createFolder("/missing");
    EXPECT_THAT(alerts.messages(),
                ElementsAre("创建文件夹失败：No such file or directory\n\n目录：/missing"));
    EXPECT_EQ(logMessages().back(), "create folder failed No such file or directory");
}

TEST_F(CreationTest, AFailedPermissionChangeKeepsTheFileButDoesNotRevealIt) {
    files.addDirectory("/d");
    files.failPermissionChanges({ErrorKind::permissionDenied, "Operation not permitted"});
    creator.create(QuentaKind(FileKindId::python), "/d");
    EXPECT_NE(files.node("/d/新建Python.py"), nullptr);
    EXPECT_THAT(logMessages(), ElementsAre("create python in /d", "created /d/新建Python.py",
                                           "failed Operation not permitted"));
    EXPECT_THAT(alerts.messages(),
                ElementsAre("创建文件失败：Operation not permitted\n\n目录：/d"));
    EXPECT_THAT(workspace.revealed, IsEmpty());
}

TEST_F(CreationTest, ANameTakenBetweenTestAndWriteMakesTheNextFreeNameBeTried) {
    // A dangling link passes the existence test (it follows links) but takes the name, as an
    // item created by another process between the test and the write would.
    files.addDirectory("/d");
    files.addSymlink("/d/新建HTML.html", "/nowhere");
    files.addSymlink("/d/新建HTML 2.html", "/nowhere");
    files.addSymlink("/d/新建文件夹", "/nowhere");
    creator.create(QuentaKind(FileKindId::html), "/d");
    creator.createFolder("/d");
    EXPECT_THAT(alerts.shown, IsEmpty());
    EXPECT_THAT(workspace.revealed,
                ElementsAre(ElementsAre("/d/新建HTML 3.html"), ElementsAre("/d/新建文件夹 2")));
    EXPECT_EQ(files.node("/d/新建HTML.html")->type, FakeFileSystem::Node::Type::symlink);

    // A folder where every name is refused as taken ends in the alert, after a bounded number
    // of names.
    files.addDirectory("/full");
    files.failWritesIn("/full", {ErrorKind::alreadyExists, "File exists"});
    creator.create(QuentaKind(FileKindId::html), "/full");
    EXPECT_THAT(alerts.messages(), ElementsAre("创建文件失败：File exists\n\n目录：/full"));
}

TEST(LogFolderTest, AMissingLogFolderDropsLinesSilently) {
    FakeFileSystem files;
    files.addDirectory("/d");
    FixedClock clock;
    RecordingAlerts alerts;
    RecordingWorkspace workspace;
    SequentialUuidSource uuids;
    ActivityLog log(files, clock, "QuentaApp.log");
    MemoryPasteboard pasteboard;
    QuentaCreator creator({files, alerts, workspace, uuids, log, pasteboard});
    creator.handle("quentaapp://create?type=markdown&path=/d");
    EXPECT_NE(files.node("/d/新建Markdown.md"), nullptr);
    EXPECT_EQ(files.node(log.path()), nullptr);
    EXPECT_THAT(alerts.shown, IsEmpty());
}

}  // namespace
}  // namespace quenta::testing
