#include "core/requests/creator_fixture.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quenta::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kTrash = "/home/ann/.local/share/Trash/files";

using TrashTest = CreatorTest;

TEST_F(TrashTest, AFailedItemInTheMiddleIsReportedAloneAndTheOthersStillGo) {
    files.addFile("/w/a.txt", "A");
    files.addFile("/w/c.txt", "C");
    creator.trashItems({"/w/a.txt", "/w/b.txt", "/w/c.txt"});

    EXPECT_EQ(files.node(std::string(kTrash) + "/a.txt")->contents, "A");
    EXPECT_EQ(files.node(std::string(kTrash) + "/c.txt")->contents, "C");
    EXPECT_EQ(files.node("/w/a.txt"), nullptr);
    EXPECT_THAT(
        logMessages(),
        ElementsAre(R"(trash ["/w/a.txt", "/w/b.txt", "/w/c.txt"])", "trashed /w/a.txt",
                    "trash failed /w/b.txt: No such file or directory", "trashed /w/c.txt"));
    EXPECT_THAT(alerts.shown,
                ElementsAre(AlertContent{
                    "访达右键Lumvik",
                    "部分项目移到废纸篓失败：\n\nb.txt：No such file or directory", "好"}));
    EXPECT_THAT(workspace.revealed, IsEmpty()) << "the file manager is not asked to show anything";
    EXPECT_THAT(workspace.trashed, ElementsAre(ElementsAre("/w/a.txt", "/w/c.txt")))
        << "the file managers hear of the trashed items only, once";
}

TEST_F(TrashTest, AllSucceedingShowsNothing) {
    files.addFile("/w/one");
    files.addDirectory("/w/folder/inner");
    files.addFile("/w/folder/inner/x", "x");
    creator.trashItems({"/w/one", "/w/folder"});
    EXPECT_THAT(alerts.shown, IsEmpty());
    EXPECT_NE(files.node(std::string(kTrash) + "/folder/inner/x"), nullptr);
    EXPECT_THAT(logMessages(), ElementsAre(R"(trash ["/w/one", "/w/folder"])", "trashed /w/one",
                                           "trashed /w/folder"));
    EXPECT_THAT(workspace.revealed, IsEmpty());
}

TEST_F(TrashTest, EveryItemFailingGivesOneAlertWithALineEachInOrder) {
    files.addFile("/locked/it's \"q\".txt");
    files.failWritesIn("/locked", Error{ErrorKind::permissionDenied, "Operation not permitted"});
    creator.trashItems({"/gone/x", "/locked/it's \"q\".txt", "/"});
    EXPECT_THAT(alerts.messages(),
                ElementsAre("部分项目移到废纸篓失败：\n\n"
                            "x：No such file or directory\n"
                            "it's \"q\".txt：Operation not permitted\n"
                            "/：A folder that holds the Trash cannot be moved to the Trash."));
    EXPECT_NE(files.node("/locked/it's \"q\".txt"), nullptr) << "a refused item stays in place";
    const auto messages = logMessages();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0], R"(trash ["/gone/x", "/locked/it\'s \"q\".txt", "/"])");
    EXPECT_EQ(messages[2], "trash failed /locked/it's \"q\".txt: Operation not permitted");
}

TEST_F(TrashTest, AStopRequestLeavesTheRestInPlaceWithOneLogLineAndNoAlert) {
    struct StopAfterFirst : StopRequest {
        mutable int asked = 0;
        [[nodiscard]] bool stopRequested() const override { return asked++ > 0; }
    } stop;
    QuentaCreator stoppable{{files, alerts, workspace, uuids, log, pasteboard, nullptr, nullptr,
                             IdentityLocalizer::instance(), &stop}};
    files.addFile("/w/a");
    files.addFile("/w/b");
    files.addFile("/w/c");
    stoppable.trashItems({"/w/a", "/w/b", "/w/c"});
    EXPECT_NE(files.node("/w/b"), nullptr);
    EXPECT_THAT(logMessages(), ElementsAre(R"(trash ["/w/a", "/w/b", "/w/c"])", "trashed /w/a",
                                           R"(trash stopped, left in place: ["/w/b", "/w/c"])"));
    EXPECT_THAT(alerts.shown, IsEmpty());
}

TEST_F(TrashTest, RequestsArriveThroughTheDispatcherWithEveryPathInOrder) {
    files.addFile("/w/新 文件.md");
    files.addFile("/w/b");
    creator.handle("quentaapp://trash?path=/w/%E6%96%B0%20%E6%96%87%E4%BB%B6.md/&x=1&path=/w/b");
    EXPECT_THAT(alerts.shown, IsEmpty());
    EXPECT_NE(files.node(std::string(kTrash) + "/新 文件.md"), nullptr);
    EXPECT_NE(files.node(std::string(kTrash) + "/b"), nullptr);
    EXPECT_EQ(logMessages().at(2), R"(trash ["/w/新 文件.md", "/w/b"])");
}

}  // namespace
}  // namespace quenta::testing
