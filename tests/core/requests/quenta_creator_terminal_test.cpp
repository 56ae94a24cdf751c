#include "core/requests/creator_fixture.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quenta::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kFirstScript = "/tmp/QuentaApp-00000000-0000-4000-8000-000000000001.command";

class TerminalTest : public CreatorTest {
  protected:
    TerminalTest() {
        for (const char* folder :
             {"/tmp", "/Users/a/My Project", "/tmp/it's", "/tmp/''", "/a $HOME \"q\" \\n `x` 中文",
              "/line\nfeed", "/a", "/gone/folder", "/w"}) {
            files.addDirectory(folder);
        }
    }

    [[nodiscard]] std::string scriptText(const std::string& path) const {
        const auto* script = files.node(path);
        return script == nullptr ? "<missing>" : script->contents;
    }
};

TEST_F(TerminalTest, WritesTheFourLineScriptOwnerOnlyAndOpensIt) {
    creator.openTerminal("/Users/a/My Project");
    EXPECT_EQ(scriptText(kFirstScript),
              "#!/bin/zsh\ncd '/Users/a/My Project' || exit 1\nrm -- \"$0\"\nexec /bin/zsh -l");
    EXPECT_EQ(files.node(kFirstScript)->mode, 0700u);
    EXPECT_THAT(workspace.opened, ElementsAre(kFirstScript));
    EXPECT_THAT(alerts.shown, IsEmpty());
    EXPECT_THAT(logMessages(), ElementsAre("open terminal in /Users/a/My Project",
                                           "terminal command opened at /Users/a/My Project"));
}

TEST_F(TerminalTest, OnlySingleQuotesAreEscapedInTheFolderPath) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/tmp/it's", R"(cd '/tmp/it'\''s' || exit 1)"},
        {"/tmp/''", R"(cd '/tmp/'\'''\''' || exit 1)"},
        {"/a $HOME \"q\" \\n `x` 中文", "cd '/a $HOME \"q\" \\n `x` 中文' || exit 1"},
        {"/line\nfeed", "cd '/line\nfeed' || exit 1"},
        {"/", "cd '/' || exit 1"},
    };
    for (const auto& [folder, line] : cases) {
        workspace.opened.clear();
        creator.openTerminal(folder);
        ASSERT_EQ(workspace.opened.size(), 1u) << folder;
        EXPECT_EQ(scriptText(workspace.opened[0]),
                  "#!/bin/zsh\n" + line + "\nrm -- \"$0\"\nexec /bin/zsh -l")
            << folder;
    }
}

TEST_F(TerminalTest, EachRequestGetsItsOwnScript) {
    creator.openTerminal("/a");
    creator.openTerminal("/a");
    ASSERT_EQ(workspace.opened.size(), 2u);
    EXPECT_NE(workspace.opened[0], workspace.opened[1]);
    EXPECT_EQ(workspace.opened[1], "/tmp/QuentaApp-00000000-0000-4000-8000-000000000002.command");
    EXPECT_EQ(scriptText(workspace.opened[0]), scriptText(workspace.opened[1]));
}

TEST_F(TerminalTest, AFolderThatIsNotThereIsReportedBeforeAnyScriptIsWritten) {
    files.addFile("/w/file");
    for (const auto& [folder, line] : std::vector<std::pair<std::string, std::string>>{
             {"/no/such", "open terminal failed: No such file or directory"},
             {"/w/file", "open terminal failed: Not a directory"}}) {
        creator.openTerminal(folder);
        EXPECT_EQ(logMessages().back(), line);
        EXPECT_EQ(alerts.messages().back(), "打开终端失败。\n\n目录：" + folder);
    }
    EXPECT_EQ(files.node(kFirstScript), nullptr);
    EXPECT_THAT(workspace.opened, IsEmpty());
}

TEST_F(TerminalTest, ARefusedOpenLeavesTheScriptAndAlertsWithTheFolder) {
    workspace.openAnswer = false;
    creator.handle("quentaapp://terminal?path=/gone/folder/");
    EXPECT_THAT(alerts.messages(), ElementsAre("打开终端失败。\n\n目录：/gone/folder"));
    EXPECT_THAT(
        logMessages(),
        ElementsAre("handle url: quentaapp://terminal?path=/gone/folder/",
                    "request from: a host of the extension", "open terminal in /gone/folder",
                    "open terminal failed: NSWorkspace.open returned false"));
    EXPECT_NE(files.node(kFirstScript), nullptr);
}

TEST_F(TerminalTest, AFailedWriteStopsBeforeOpening) {
    files.failWritesIn("/tmp", Error{ErrorKind::noSpace, "No space left on device"});
    creator.openTerminal("/w");
    EXPECT_THAT(logMessages(), ElementsAre("open terminal in /w",
                                           "open terminal failed: No space left on device"));
    EXPECT_THAT(alerts.messages(), ElementsAre("打开终端失败。\n\n目录：/w"));
    EXPECT_THAT(workspace.opened, IsEmpty());
}

TEST_F(TerminalTest, AFailedPermissionChangeKeepsTheWrittenScriptUnopened) {
    files.failPermissionChanges(Error{ErrorKind::permissionDenied, "Operation not permitted"});
    creator.openTerminal("/w");
    EXPECT_EQ(logMessages().back(), "open terminal failed: Operation not permitted");
    EXPECT_THAT(alerts.messages(), ElementsAre("打开终端失败。\n\n目录：/w"));
    EXPECT_THAT(workspace.opened, IsEmpty());
    EXPECT_NE(files.node(kFirstScript), nullptr) << "a script already written stays in place";
}

}  // namespace
}  // namespace quenta::testing
