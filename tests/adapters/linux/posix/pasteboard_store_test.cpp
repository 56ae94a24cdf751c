#include "adapters/linux/posix/pasteboard_store.hpp"

#include "support/environment_scope.hpp"
#include "support/temp_dir.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace quenta::testing {
namespace {

using linux_platform::PasteboardStore;

constexpr std::string_view kCut = "com.local.QuentaApp.cutPaths";
constexpr std::string_view kPlain = Pasteboard::kPlainTextType;

// Runs `body` in a child process; true when it returned true there.
template <class Body>
pid_t startChild(Body body) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(body() ? 0 : 1);
    }
    return child;
}

bool childSucceeded(pid_t child) {
    int status = 0;
    return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class PasteboardStoreTest : public ::testing::Test {
  protected:
    TempDir runtime;
    TempDir home;
    EnvironmentScope runtimeScope{"XDG_RUNTIME_DIR", runtime.path()};
    EnvironmentScope cacheScope{"XDG_CACHE_HOME", std::nullopt};
    EnvironmentScope homeScope{"HOME", home.path()};
};

TEST_F(PasteboardStoreTest, TheStoreLivesInTheRuntimeFolderElseInTheCacheHome) {
    EXPECT_EQ(PasteboardStore().folder(), runtime / "quenta-pasteboard");
    {
        const EnvironmentScope relative("XDG_RUNTIME_DIR", "relative/dir");
        EXPECT_EQ(PasteboardStore::defaultFolder(), home / ".cache/quenta-pasteboard");
        const EnvironmentScope cache("XDG_CACHE_HOME", runtime / "cache");
        EXPECT_EQ(PasteboardStore::defaultFolder(), runtime / "cache/quenta-pasteboard");
    }
    const EnvironmentScope unset("XDG_RUNTIME_DIR", std::nullopt);
    PasteboardStore store;
    EXPECT_EQ(store.folder(), home / ".cache/quenta-pasteboard");
    EXPECT_TRUE(store.setString("/a", kCut)) << "a missing cache home is created";
    EXPECT_EQ(modeOf(home / ".cache/quenta-pasteboard"), 0700);
}

TEST_F(PasteboardStoreTest, EntriesOutliveTheWriterAndAreReplacedAndClearedWhole) {
    const std::string text = "/a b/c\n/d\r\n/e'$\\\n/中文";
    const pid_t writer = startChild([&] {
        PasteboardStore store;
        return store.clearContents() && store.setString(text, kCut) &&
               store.setString(text, kPlain) && store.setString("", "empty") &&
               store.setString("first", "replaced") &&
               store.setString(std::string("nul\0byte", 8), "replaced");
    });
    ASSERT_TRUE(childSucceeded(writer));

    const PasteboardStore store;
    EXPECT_EQ(store.stringForType(kCut), text);
    EXPECT_EQ(store.stringForType(kPlain), text);
    EXPECT_EQ(store.stringForType("empty"), "");
    EXPECT_EQ(store.stringForType("replaced"), std::string("nul\0byte", 8));
    EXPECT_EQ(store.stringForType("never.set"), std::nullopt);
    EXPECT_EQ(modeOf(runtime / "quenta-pasteboard"), 0700);
    EXPECT_EQ(modeOf(runtime / "quenta-pasteboard/entries"), 0600);

    ASSERT_TRUE(PasteboardStore(store.folder()).clearContents());
    EXPECT_EQ(store.stringForType(kCut), std::nullopt);
    EXPECT_EQ(store.stringForType(kPlain), std::nullopt);
}

TEST_F(PasteboardStoreTest, ALinkedForeignOrDamagedStoreIsRefused) {
    // A link in place of the folder: nothing is written where it points.
    TempDir elsewhere;
    ASSERT_EQ(::symlink(elsewhere.path().c_str(), (runtime / "quenta-pasteboard").c_str()), 0);
    PasteboardStore linked;
    const Status refused = linked.replaceContents({{std::string(kCut), "/a"}});
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error(),
              (Error{ErrorKind::permissionDenied, "the pasteboard store " + linked.folder() +
                                                      " is not a folder of this user's own"}));
    EXPECT_EQ(linked.stringForType(kCut), std::nullopt);
    EXPECT_EQ(runCommand("ls -A " + shellQuote(elsewhere.path())).out, "");

    // A file in place of the folder.
    writeFile(runtime / "file", "x");
    EXPECT_FALSE(PasteboardStore(runtime / "file").setString("/a", kCut));

    // A folder of someone else's, with a store file in it.
    if (::geteuid() == 0) {
        PasteboardStore foreign(runtime / "foreign");
        ASSERT_TRUE(foreign.setString("/planted", kCut));
        ASSERT_EQ(::chown((runtime / "foreign").c_str(), 4321, 4321), 0);
        EXPECT_EQ(foreign.stringForType(kCut), std::nullopt);
        EXPECT_FALSE(foreign.setString("/a", kCut));
    }

    // One's own folder left open to others is closed first; a damaged store reads as empty and
    // the next write replaces it.
    PasteboardStore own(runtime / "own");
    ASSERT_EQ(::mkdir((runtime / "own").c_str(), 0777), 0);
    ASSERT_EQ(::chmod((runtime / "own").c_str(), 0777), 0);
    writeFile(runtime / "own/entries", "quenta-pasteboard 1\n99:1\nshort");
    EXPECT_EQ(own.stringForType(kCut), std::nullopt);
    EXPECT_EQ(modeOf(runtime / "own"), 0700);
    EXPECT_TRUE(own.setString("/b", kCut));
    EXPECT_EQ(own.stringForType(kCut), "/b");
}

// Two writers at once, each setting its own type over and over: neither loses the other's entry,
// and a reader meanwhile only ever sees whole texts.
TEST_F(PasteboardStoreTest, ConcurrentWritersLoseNothingAndReadersSeeWholeTexts) {
    constexpr int kRounds = 150;
    const std::string padding(20000, '.');
    const auto text = [&](char writer, int round) {
        return std::string(1, writer) + std::to_string(round) + padding + "end";
    };
    const auto isWhole = [&](const std::optional<std::string>& value, char writer) {
        return !value || (value->size() > padding.size() + 4 && value->front() == writer &&
                          value->ends_with(padding + "end"));
    };
    std::vector<pid_t> children;
    for (const char writer : {'a', 'b'}) {
        children.push_back(startChild([&, writer] {
            PasteboardStore store;
            for (int round = 0; round < kRounds; ++round) {
                if (!store.setString(text(writer, round), std::string(1, writer))) {
                    return false;
                }
            }
            return true;
        }));
    }
    children.push_back(startChild([&] {
        const PasteboardStore store;
        for (int read = 0; read < 2 * kRounds; ++read) {
            if (!isWhole(store.stringForType("a"), 'a') ||
                !isWhole(store.stringForType("b"), 'b')) {
                return false;
            }
        }
        return true;
    }));
    for (const pid_t child : children) {
        EXPECT_TRUE(childSucceeded(child));
    }
    const PasteboardStore store;
    EXPECT_EQ(store.stringForType("a"), text('a', kRounds - 1));
    EXPECT_EQ(store.stringForType("b"), text('b', kRounds - 1));
}

// One process cuts again and again (clear, then both entries); another reads meanwhile and never
// finds a damaged text.
TEST_F(PasteboardStoreTest, ClearThenSetBesideAConcurrentReaderCorruptsNothing) {
    constexpr int kRounds = 150;
    const auto paths = [](int round) { return "/cut/" + std::to_string(round) + "\n/cut/second"; };
    const pid_t cutter = startChild([&] {
        PasteboardStore store;
        for (int round = 0; round < kRounds; ++round) {
            if (!store.clearContents() || !store.setString(paths(round), kCut) ||
                !store.setString(paths(round), kPlain)) {
                return false;
            }
        }
        return true;
    });
    const pid_t reader = startChild([&] {
        const PasteboardStore store;
        for (int read = 0; read < 3 * kRounds; ++read) {
            for (const auto type : {kCut, kPlain}) {
                const auto value = store.stringForType(type);
                if (value && (!value->starts_with("/cut/") || !value->ends_with("\n/cut/second"))) {
                    return false;
                }
            }
        }
        return true;
    });
    EXPECT_TRUE(childSucceeded(cutter));
    EXPECT_TRUE(childSucceeded(reader));
    EXPECT_EQ(PasteboardStore().stringForType(kCut), paths(kRounds - 1));
}

}  // namespace
}  // namespace quenta::testing
