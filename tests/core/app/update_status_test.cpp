// The update row: the state transitions on their own, then through ContentView with the real
// UpdateChecker over scripted HTTP answers, in-memory defaults and a manual main queue.
#include "core/app/update_status.hpp"

#include "core/app/content_view_rig.hpp"
#include "fakes/bracket_localizer.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quenta::testing {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Style = UpdateStatusText::Style;

const AppRelease kR{"2.0", "https://example.test/r"};
const AppRelease kS{"3.0", "https://example.test/s"};

TEST(UpdateStatusTransitionTest, EveryRowOfTheTable) {
    const UpdateStatus idle = UpdateStatus::idle();
    const UpdateStatus checking = UpdateStatus::checking();
    const UpdateStatus upToDate = UpdateStatus::upToDate();
    const UpdateStatus failed = UpdateStatus::failed();
    const UpdateStatus availableR = UpdateStatus::available(kR);
    const UpdateChecker::CheckResult newer(std::optional<AppRelease>{kS});
    const UpdateChecker::CheckResult none(std::optional<AppRelease>{});
    const UpdateChecker::CheckResult failure(Error{ErrorKind::transport, "offline"});

    for (const auto& any : {idle, checking, upToDate, failed, availableR}) {
        SCOPED_TRACE(::testing::PrintToString(any));
        EXPECT_EQ(statusOnAppearance(any, kR), availableR);
        EXPECT_EQ(statusOnAppearance(any, std::nullopt), any);
        EXPECT_EQ(statusWhenCheckEnds(any, newer), UpdateStatus::available(kS));
        EXPECT_EQ(statusWhenCheckEnds(any, none), upToDate);
    }
    for (const auto& from : {idle, upToDate, failed}) {
        EXPECT_EQ(statusWhenCheckStarts(from), checking);
    }
    EXPECT_EQ(statusWhenCheckStarts(availableR), availableR);
    EXPECT_EQ(statusWhenCheckEnds(availableR, failure), availableR);
    for (const auto& other : {idle, checking, upToDate, failed}) {
        EXPECT_EQ(statusWhenCheckEnds(other, failure), failed);
    }
}

TEST(UpdateStatusTransitionTest, TextsAndColours) {
    EXPECT_EQ(updateStatusText(UpdateStatus::idle()), (UpdateStatusText{"", Style::none}));
    EXPECT_EQ(updateStatusText(UpdateStatus::checking()),
              (UpdateStatusText{"正在检查…", Style::secondary}));
    EXPECT_EQ(updateStatusText(UpdateStatus::upToDate()),
              (UpdateStatusText{"已是最新版本", Style::secondary}));
    EXPECT_EQ(updateStatusText(UpdateStatus::available(kR)),
              (UpdateStatusText{"发现新版本 v2.0", Style::accent}));
    EXPECT_EQ(updateStatusText(UpdateStatus::failed()),
              (UpdateStatusText{"检查失败，请稍后再试", Style::secondary}));
    // In the user's language the version stays as it is.
    EXPECT_EQ(updateStatusText(UpdateStatus::available(kR), BracketLocalizer()),
              (UpdateStatusText{"[发现新版本 v]2.0", Style::accent}));
}

class UpdateRowTest : public ::testing::Test, protected ContentViewRig {
  protected:
    UpdateRowTest() : ContentViewRig("1.4.2") {
        view.setOnChange([this] { ++changes; });
    }
    void cacheRelease(const std::string& version, const std::string& page) {
        ASSERT_TRUE(defaults.setString(UpdateChecker::kLatestVersionKey, version));
        ASSERT_TRUE(defaults.setString(UpdateChecker::kLatestPageURLKey, page));
    }
    void networkDown() { http.answer(Error{ErrorKind::transport, "offline"}); }

    int changes = 0;
};

TEST_F(UpdateRowTest, FirstStartWithNoNewerReleaseChecksThenSaysUpToDate) {
    EXPECT_EQ(view.currentVersionText(), "当前版本 v1.4.2");
    EXPECT_EQ(view.statusText().style, Style::none);
    http.answerOk(R"({"version": "1.4.2"})");
    view.appear();
    EXPECT_EQ(view.statusText(), (UpdateStatusText{"正在检查…", Style::secondary}));
    EXPECT_FALSE(view.checkButtonEnabled());
    EXPECT_FALSE(view.showsDownloadButton());
    ASSERT_EQ(http.requests.size(), 1u);
    EXPECT_EQ(http.requests[0].url, UpdateChecker::latestReleaseURL());

    queue.advance(1s);
    EXPECT_EQ(view.statusText(), (UpdateStatusText{"已是最新版本", Style::secondary}));
    EXPECT_TRUE(view.checkButtonEnabled());
    EXPECT_EQ(changes, 2);
}

TEST_F(UpdateRowTest, ACachedReleaseShowsAtOnceAndStaysWhenTheNetworkIsDown) {
    cacheRelease("1.5", "https://mirror.example.test/page");
    networkDown();
    view.appear();
    EXPECT_EQ(view.updateStatus(),
              UpdateStatus::available({"1.5", "https://mirror.example.test/page"}));
    EXPECT_TRUE(view.showsDownloadButton());
    EXPECT_TRUE(view.checkButtonEnabled());
    queue.advance(1s);
    EXPECT_EQ(view.statusText(), (UpdateStatusText{"发现新版本 v1.5", Style::accent}));
    EXPECT_TRUE(view.showsDownloadButton());

    view.downloadNewVersion();
    EXPECT_THAT(workspace.openedURLs, ElementsAre("https://mirror.example.test/page"))
        << "the shown release's page, not a fixed address";
}

TEST_F(UpdateRowTest, AnEmptyCacheAndNoNetworkEndInFailure) {
    networkDown();
    view.appear();
    EXPECT_EQ(view.updateStatus(), UpdateStatus::checking());
    queue.advance(1s);
    EXPECT_EQ(view.statusText(), (UpdateStatusText{"检查失败，请稍后再试", Style::secondary}));
    EXPECT_FALSE(view.showsDownloadButton());
    view.downloadNewVersion();
    EXPECT_THAT(workspace.openedURLs, IsEmpty());

    // "检查更新" from the failed state checks again.
    http.answerOk(R"({"version": "9.0"})");
    view.checkForUpdates();
    EXPECT_EQ(view.updateStatus(), UpdateStatus::checking());
    queue.advance(1s);
    EXPECT_EQ(view.updateStatus(),
              UpdateStatus::available({"9.0", UpdateChecker::downloadPageURL()}));
}

TEST_F(UpdateRowTest, AShownReleaseGivesWayToASuccessWithoutOne) {
    cacheRelease("1.5", "https://example.test/p");
    http.answerOk(R"({"version": "1.4.2"})");
    view.appear();
    queue.advance(1s);
    EXPECT_EQ(view.updateStatus(), UpdateStatus::upToDate());
    EXPECT_FALSE(view.showsDownloadButton());
}

TEST_F(UpdateRowTest, OverlappingChecksEachApplyTheirResultAndTheLastDecides) {
    cacheRelease("1.5", "https://example.test/p");
    http.answerOk(R"({"version": "1.6"})");
    view.appear();
    http.answer(Error{ErrorKind::transport, "offline"}, 300ms);
    view.checkForUpdates();  // enabled while a release is shown
    EXPECT_EQ(http.requests.size(), 2u);
    queue.advance(150ms);
    EXPECT_EQ(view.updateStatus(),
              UpdateStatus::available({"1.6", UpdateChecker::downloadPageURL()}));
    queue.advance(1s);
    EXPECT_EQ(view.updateStatus(),
              UpdateStatus::available({"1.6", UpdateChecker::downloadPageURL()}))
        << "a later failure keeps the known release";
}

TEST_F(UpdateRowTest, ACompletionAfterTheViewIsGoneIsDropped) {
    http.answerOk(R"({"version": "2.0"})");
    {
        ContentView shortLived({processes, files, workspace, alerts, bundle, queue, shell, updates},
                               macosInstallerTable());
        shortLived.appear();
    }
    EXPECT_EQ(queue.advance(1s), 1);
}

}  // namespace
}  // namespace quenta::testing
