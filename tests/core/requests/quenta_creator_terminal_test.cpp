#include "core/requests/creator_fixture.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quenta::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class TerminalTest : public CreatorTest {
  protected:
    TerminalTest() {
        files.addDirectory("/Users/a/My Project");
        files.addDirectory("/w");
    }
};

TEST_F(TerminalTest, OpensATerminalInTheFolderAndWritesNoFile) {
    const std::size_t itemsBefore = files.nodes().size();
    creator.openTerminal("/Users/a/My Project");
    EXPECT_THAT(workspace.terminals, ElementsAre("/Users/a/My Project"));
    EXPECT_THAT(alerts.shown, IsEmpty());
    EXPECT_THAT(logMessages(), ElementsAre("open terminal in /Users/a/My Project",
                                           "terminal command opened at /Users/a/My Project"));
    EXPECT_EQ(files.nodes().size(), itemsBefore + 1) << "the log file is the only new item";
}

TEST_F(TerminalTest, EveryFailureAlertsWithTheFolderAndLogsItsReason) {
    files.addFile("/w/file");
    workspace.terminalAnswer = false;
    for (const auto& [folder, line] : std::vector<std::pair<std::string, std::string>>{
             {"/no/such", "open terminal failed: No such file or directory"},
             {"/w/file", "open terminal failed: Not a directory"},
             {"/w", "open terminal failed: no terminal emulator is installed"}}) {
        creator.openTerminal(folder);
        EXPECT_EQ(logMessages().back(), line);
        EXPECT_EQ(alerts.messages().back(), "打开终端失败。\n\n目录：" + folder);
    }
    EXPECT_THAT(workspace.terminals, ElementsAre("/w")) << "only a folder is given to a terminal";
    EXPECT_EQ(logMessages().size(), 6u) << "nothing says a terminal was opened";
}

}  // namespace
}  // namespace quenta::testing
