#include "core/shared/activity_log.hpp"

#include "core/shared/list_form.hpp"
#include "core/shared/utc_timestamp.hpp"
#include "fakes/fake_file_system.hpp"
#include "fakes/fixed_clock.hpp"
#include "fakes/recording_system_log.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quenta::testing {
namespace {

using namespace std::chrono;
using ::testing::ElementsAre;

sys_seconds at(int y, unsigned mo, unsigned d, int h, int mi, int s) {
    return sys_days{year{y} / month{mo} / day{d}} + hours{h} + minutes{mi} + seconds{s};
}

TEST(UtcTimestampTest, FormatsWholeSecondsInUtc) {
    EXPECT_EQ(formatUtcTimestamp(at(2026, 12, 7, 14, 57, 55)), "2026-12-07 14:57:55 +0000");
    EXPECT_EQ(formatUtcTimestamp(at(1999, 1, 2, 3, 4, 5) + milliseconds{999}),
              "1999-01-02 03:04:05 +0000");
    EXPECT_EQ(formatUtcTimestamp(at(2028, 2, 29, 23, 59, 59)), "2028-02-29 23:59:59 +0000");
    EXPECT_EQ(formatUtcTimestamp(system_clock::time_point{}), "1970-01-01 00:00:00 +0000");
}

TEST(ListFormTest, QuotesAndEscapesEachPath) {
    EXPECT_EQ(listForm({}), "[]");
    EXPECT_EQ(listForm({"/a", "/b c"}), "[\"/a\", \"/b c\"]");
    EXPECT_EQ(quotedDebugText("it's \"q\" \\ 文档"), "\"it\\'s \\\"q\\\" \\\\ 文档\"");
    EXPECT_EQ(quotedDebugText(std::string("\n\r\t\0", 4)), "\"\\n\\r\\t\\0\"");
    EXPECT_EQ(quotedDebugText("\x1b\x7f\x01"), "\"\\u{1B}\\u{7F}\\u{01}\"");
    EXPECT_EQ(quotedDebugText("100% %@ %s"), "\"100% %@ %s\"");
}

class ActivityLogTest : public ::testing::Test {
  protected:
    FakeFileSystem files;
    FixedClock clock{at(2026, 12, 7, 14, 57, 55)};
};

TEST_F(ActivityLogTest, CreatesThenAppendsWholeLines) {
    files.addDirectory("/home/ann/.local/state");
    ActivityLog log(files, clock, "QuentaApp.log");
    EXPECT_EQ(log.path(), "/home/ann/.local/state/QuentaApp.log");
    log.write("create markdown in /文档");
    clock.advance(seconds{1});
    log.write("two\nlines");
    EXPECT_EQ(files.node(log.path())->contents,
              "[2026-12-07 14:57:55 +0000] create markdown in /文档\n"
              "[2026-12-07 14:57:56 +0000] two\nlines\n");
}

TEST_F(ActivityLogTest, DropsLinesSilentlyWithoutItsFolderAndEscapesBytesThatAreNotUtf8) {
    ActivityLog log(files, clock, "QuentaApp.log");
    log.write("lost");
    EXPECT_EQ(files.node(log.path()), nullptr);
    EXPECT_EQ(files.node("/home/ann/.local/state"), nullptr) << "the folder is never created";

    files.addDirectory("/home/ann/.local/state");
    log.write("moved /a/\xff\xe6\x96 to /b/\xe6\x96\x87");
    EXPECT_EQ(files.node(log.path())->contents,
              "[2026-12-07 14:57:55 +0000] moved /a/\\xff\\xe6\\x96 to /b/\xe6\x96\x87\n");
}

TEST_F(ActivityLogTest, CopiesMessagesVerbatimToTheSystemLogWithItsPrefix) {
    files.addDirectory("/home/ann/.local/state");
    RecordingSystemLog systemLog;
    ActivityLog log(files, clock, "QuentaFinderExtension.log", &systemLog,
                    "[QuentaFinderExtension] ");
    log.write("cut paths: [\"/a %s %@ %n\"]");
    EXPECT_THAT(systemLog.messages,
                ElementsAre("[QuentaFinderExtension] cut paths: [\"/a %s %@ %n\"]"));
    EXPECT_EQ(files.node(log.path())->contents,
              "[2026-12-07 14:57:55 +0000] cut paths: [\"/a %s %@ %n\"]\n");
}

}  // namespace
}  // namespace quenta::testing
