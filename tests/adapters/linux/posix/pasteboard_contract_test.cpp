// The pasteboard's contract, run on the in-memory fake the logic tests use and on the real store,
// so the fake cannot drift from what the store does.
#include "adapters/linux/posix/pasteboard_store.hpp"
#include "fakes/memory_pasteboard.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace quenta::testing {
namespace {

constexpr std::string_view kCut = "com.local.QuentaApp.cutPaths";
constexpr std::string_view kPlain = Pasteboard::kPlainTextType;

struct MemoryCase {
    MemoryPasteboard pasteboard;
};

struct StoreCase {
    TempDir runtime;
    linux_platform::PasteboardStore pasteboard{runtime / "quenta-pasteboard"};
};

template <class Case>
class PasteboardContractTest : public ::testing::Test {
  protected:
    Pasteboard& pasteboard() { return subject->pasteboard; }
    std::unique_ptr<Case> subject = std::make_unique<Case>();
};

using Implementations = ::testing::Types<MemoryCase, StoreCase>;
TYPED_TEST_SUITE(PasteboardContractTest, Implementations);

TYPED_TEST(PasteboardContractTest, SetKeepsOtherTypesReplaceAndClearRemoveEveryEntry) {
    Pasteboard& board = this->pasteboard();
    const std::string text("/a b\n/c\r\n/中文\0nul", 17);
    EXPECT_EQ(board.stringForType(kCut), std::nullopt) << "a new pasteboard is empty";
    ASSERT_TRUE(board.setString("first", kCut));
    ASSERT_TRUE(board.setString(text, kCut));
    ASSERT_TRUE(board.setString("", kPlain));
    EXPECT_EQ(board.stringForType(kCut), text);
    EXPECT_EQ(board.stringForType(kPlain), "");

    ASSERT_TRUE(board.replaceContents({{"other", "x"}}));
    EXPECT_EQ(board.stringForType(kCut), std::nullopt);
    EXPECT_EQ(board.stringForType(kPlain), std::nullopt);
    EXPECT_EQ(board.stringForType("other"), "x");

    ASSERT_TRUE(board.clearContents());
    EXPECT_EQ(board.stringForType("other"), std::nullopt);
    EXPECT_TRUE(board.clearContents()) << "clearing an empty pasteboard succeeds";
}

TYPED_TEST(PasteboardContractTest, AConditionalClearRemovesOnlyTheTextItWasGiven) {
    Pasteboard& board = this->pasteboard();
    const auto cleared = board.clearContentsIfString(kCut, "/a");
    ASSERT_TRUE(cleared);
    EXPECT_FALSE(cleared.value()) << "nothing to clear";

    ASSERT_TRUE(
        board.replaceContents({{std::string(kCut), "/newer"}, {std::string(kPlain), "/newer"}}));
    const auto changed = board.clearContentsIfString(kCut, "/a");
    ASSERT_TRUE(changed);
    EXPECT_FALSE(changed.value());
    EXPECT_EQ(board.stringForType(kCut), "/newer") << "a newer cut stays";

    const auto same = board.clearContentsIfString(kCut, "/newer");
    ASSERT_TRUE(same);
    EXPECT_TRUE(same.value());
    EXPECT_EQ(board.stringForType(kCut), std::nullopt);
    EXPECT_EQ(board.stringForType(kPlain), std::nullopt) << "every entry goes";
}

}  // namespace
}  // namespace quenta::testing
