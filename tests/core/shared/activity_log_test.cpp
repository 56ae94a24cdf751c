#include "core/shared/activity_log.hpp"

#include "core/shared/list_form.hpp"
#include "core/shared/utc_timestamp.hpp"
#include "core/shared/utf8.hpp"
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

TEST(EscapingForOutputTest, EscapesControlsBidiControlsAndStrayBytesOnly) {
    const struct {
        std::string text;
        std::string escaped;
    } cases[] = {
        {"/文档/a b.txt", "/文档/a b.txt"},
        {"a\nb\rc\td", "a\\x0ab\\x0dc\\x09d"},
        {"\x1b]0;title\x07\x1b[2J\x7f", "\\x1b]0;title\\x07\\x1b[2J\\x7f"},
        {std::string("nul\0", 4), "nul\\x00"},
        {"\xc2\x80\xc2\x9f\xc2\xa0", "\\u0080\\u009f\xc2\xa0"},  // C1; no-break space kept
        {"\xe2\x80\xaa\xe2\x80\xae\xe2\x80\xaf", "\\u202a\\u202e\xe2\x80\xaf"},
        {"\xe2\x81\xa6\xe2\x81\xa9\xe2\x81\xaa", "\\u2066\\u2069\xe2\x81\xaa"},
        {"\xff\xe6\x96", "\\xff\\xe6\\x96"},
        {"\\x0a", "\\x0a"},  // a backslash of the name itself is kept
    };
    for (const auto& c : cases) {
        EXPECT_EQ(escapingForOutput(c.text), c.escaped) << c.text;
    }
    EXPECT_EQ(escapingForOutput("title\n\x1b[2Jx\n", true), "title\n\\x1b[2Jx\n");
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
    log.write("two\n[2026-12-09 00:00:00 +0000] lines");
    EXPECT_EQ(files.node(log.path())->contents,
              "[2026-12-07 14:57:55 +0000] create markdown in /文档\n"
              "[2026-12-07 14:57:56 +0000] two\\x0a[2026-12-09 00:00:00 +0000] lines\n");
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

TEST_F(ActivityLogTest, CopiesMessagesToTheSystemLogWithItsPrefixEscapedAsInTheFile) {
    files.addDirectory("/home/ann/.local/state");
    RecordingSystemLog systemLog;
    ActivityLog log(files, clock, "QuentaFinderExtension.log", &systemLog,
                    "[QuentaFinderExtension] ");
    log.write("cut paths: [\"/a %s %@ %n\x1b[2J\"]");
    EXPECT_THAT(systemLog.messages,
                ElementsAre("[QuentaFinderExtension] cut paths: [\"/a %s %@ %n\\x1b[2J\"]"));
    EXPECT_EQ(files.node(log.path())->contents,
              "[2026-12-07 14:57:55 +0000] cut paths: [\"/a %s %@ %n\\x1b[2J\"]\n");
}

}  // namespace
}  // namespace quenta::testing
