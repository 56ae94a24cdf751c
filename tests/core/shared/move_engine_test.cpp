// The move engine over the model filesystem: every interleaving with another program is a hook
// before one operation, so each runs the same every time and without sleeping.
#include "core/shared/move_engine.hpp"

#include "fakes/fake_directory_handles.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quenta::testing {
namespace {

using Operation = FakeDirectoryHandles::Operation;

// Every entry below `path`, relative to it, with a file's data or a link's target ("/" for a
// folder).
std::map<std::string, std::string> snapshot(FakeDirectoryHandles& handles, const std::string& path,
                                            const std::string& relative = {}) {
    std::map<std::string, std::string> entries;
    auto folder = handles.openFolder(path);
    if (!folder) {
        return entries;
    }
    const auto names = handles.list(folder.value());
    for (const auto& name : names.value()) {
        const std::string below = relative.empty() ? name : relative + "/" + name;
        if (handles.status(folder.value(), name).value().type == EntryStatus::Type::folder) {
            entries[below] = "/";
            entries.merge(snapshot(handles, path + "/" + name, below));
        } else {
            entries[below] = handles.contents(path + "/" + name).value();
        }
    }
    return entries;
}

struct MemoryJournal : MoveJournal {
    std::vector<MoveRecord> written;
    std::vector<std::string> dropped;
    Result<std::string> write(const MoveRecord& record) override {
        written.push_back(record);
        return std::to_string(written.size());
    }
    void drop(const std::string& name) override { dropped.push_back(name); }
};

struct StoppingObserver : MoveObserver {
    int stopAt = 0;  // the question answered yes; 0: never
    int questions = 0;
    std::uint64_t total = 0;
    std::uint64_t done = 0;
    void copyStarted(const std::string&, std::uint64_t bytes) override { total = bytes; }
    void copied(std::uint64_t bytes) override { done += bytes; }
    bool cancelRequested() override { return ++questions == stopAt; }
};

// Two filesystems: /src holds the cut "tree" and a "victim" with the same names, outside the cut;
// /dst is another device.
struct World {
    FakeDirectoryHandles handles;
    MemoryJournal journal;
    StoppingObserver observer;
    int partials = 0;

    World() {
        handles.addFolder("/src");
        handles.addFilesystem("/dst");
        for (const std::string top : {"/src/tree", "/src/victim"}) {
            handles.addFolder(top);
            handles.addFile(top + "/a.txt", "a");
            handles.addFolder(top + "/sub");
            handles.addFile(top + "/sub/b.bin", "bb");
            handles.addFile(top + "/sub/c", "ccc");
            handles.addSymlink(top + "/link", "a.txt");
        }
    }
    Result<MoveOutcome> move(const std::string& from = "/src/tree",
                             const std::string& to = "/dst/tree") {
        MoveEngine::Setup setup;
        setup.observer = &observer;
        setup.journal = &journal;
        setup.partialName = [this](const std::string& name) {
            return "." + name + ".partial-" + std::to_string(++partials);
        };
        return MoveEngine(handles, std::move(setup)).move(from, to);
    }
    // Runs `act` before the first operation of the kind on an entry of the name ("" for any),
    // and fails that one and the `times` - 1 such operations after it with `failure` when given.
    void before(Operation operation, const std::string& name,
                std::function<void(FakeDirectoryHandles&)> act,
                std::optional<Error> failure = std::nullopt, int times = 1) {
        handles.beforeOperation = [=, this, seen = 0](Operation now,
                                                      const std::string& entry) mutable {
            if (now != operation || (!name.empty() && entry != name) || seen == times) {
                return std::optional<Error>{};
            }
            if (seen++ == 0) {
                act(handles);
            }
            return failure;
        };
    }
};

const std::map<std::string, std::string> kTree = {
    {"a.txt", "a"}, {"link", "a.txt"}, {"sub", "/"}, {"sub/b.bin", "bb"}, {"sub/c", "ccc"}};

// Each entry of the cut is at exactly one place: the copy, or the source (where it is now).
void expectEachEntryOnce(FakeDirectoryHandles& handles, const std::string& sourceNow) {
    auto together = snapshot(handles, "/dst/tree");
    for (const auto& [path, data] : snapshot(handles, sourceNow)) {
        if (data != "/") {
            EXPECT_EQ(together.count(path), 0U) << path << " is at both places";
        }
        together.emplace(path, data);
    }
    for (const auto& [path, data] : kTree) {
        EXPECT_EQ(together.count(path), 1U) << path << " is nowhere";
    }
}

TEST(MoveEngine, MovesTheWholeTreeAndRecordsItsIntentFirst) {
    World world;
    world.before(Operation::rename, "", [&](FakeDirectoryHandles& h) {
        // The copy is whole and on disk, and the intent recorded, before it takes its name.
        EXPECT_EQ(h.unflushedFiles(), 0U);
        EXPECT_EQ(world.journal.written.size(), 1U);
    });
    const auto moved = world.move();
    ASSERT_TRUE(moved.ok()) << moved.error();
    EXPECT_EQ(moved.value(), MoveOutcome{});
    std::map<std::string, std::string> all{{"tree", "/"}};
    for (const auto& [path, data] : kTree) {
        all.emplace("tree/" + path, data);
    }
    EXPECT_EQ(snapshot(world.handles, "/dst"), all);
    EXPECT_FALSE(world.handles.exists("/src/tree"));
    ASSERT_EQ(world.journal.written.size(), 1U);
    EXPECT_EQ(world.journal.written[0].partial, ".tree.partial-1");
    EXPECT_EQ(world.journal.dropped, std::vector<std::string>{"1"});
    EXPECT_EQ(world.observer.total, 6U);
    EXPECT_EQ(world.observer.done, 6U);
    EXPECT_EQ(world.handles.openHandles(), 0U);
}

// What another program does, or what fails, at one step; what stays where. The victim, outside
// the cut, is never touched.
TEST(MoveEngine, OnlyWhatWasCopiedAndIsUnchangedLeavesTheSource) {
    const Error denied{ErrorKind::permissionDenied, "Permission denied"};
    using MovedAway = MoveOutcome::MovedAway;
    struct Case {
        std::string name;
        Operation operation;
        std::string entry;
        std::function<void(FakeDirectoryHandles&)> act;
        std::optional<Error> failure;
        std::vector<std::string> leftAtSource;
        std::optional<MovedAway> movedAway = std::nullopt;
        std::string sourceNow = "/src/tree";
    };
    const auto nothing = [](FakeDirectoryHandles&) {};
    const std::vector<Case> cases = {
        {"a file changed after its copy",
         Operation::copyFile,
         "c",
         [](FakeDirectoryHandles& h) { h.rewriteFile("/src/tree/a.txt", "changed"); },
         std::nullopt,
         {"/src/tree/a.txt"}},
        {"a file added meanwhile (its folder stays)",
         Operation::copyFile,
         "c",
         [](FakeDirectoryHandles& h) { h.addFile("/src/tree/sub/new", "n"); },
         std::nullopt,
         {"/src/tree/sub"}},
        {"an entry that cannot be removed",
         Operation::remove,
         "b.bin",
         nothing,
         denied,
         {"/src/tree/sub/b.bin"}},
        {"the cut folder swapped for a link at the removal step",
         Operation::remove,
         "",
         [](FakeDirectoryHandles& h) {
             h.renamePath("/src/tree", "/src/away");
             h.addSymlink("/src/tree", "victim");
         },
         std::nullopt,
         {},
         MovedAway{"/src/tree", "/src/away"},
         "/src/away"},
        {"a folder inside swapped for a link at the removal step",
         Operation::remove,
         "",
         [](FakeDirectoryHandles& h) {
             h.renamePath("/src/tree/sub", "/src/sub-away");
             h.addSymlink("/src/tree/sub", "../victim/sub");
         },
         std::nullopt,
         {"/src/tree/sub"}},
        {"the cut folder moved to the Trash during the removal",
         Operation::remove,
         "",
         [](FakeDirectoryHandles& h) {
             h.addFolder("/src/Trash");
             h.renamePath("/src/tree", "/src/Trash/tree");
         },
         std::nullopt,
         {},
         MovedAway{"/src/tree", "/src/Trash/tree"},
         "/src/Trash/tree"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        World world;
        const auto victim = snapshot(world.handles, "/src/victim");
        world.before(test.operation, test.entry, test.act, test.failure);
        const auto moved = world.move();
        ASSERT_TRUE(moved.ok()) << moved.error();
        EXPECT_EQ(moved.value().leftAtSource, test.leftAtSource);
        EXPECT_EQ(moved.value().movedAway, test.movedAway);
        EXPECT_EQ(moved.value().removalError, test.failure);
        EXPECT_EQ(snapshot(world.handles, "/src/victim"), victim);
        if (test.name.find("a folder inside swapped") != std::string::npos) {
            continue;  // part of the tree is in /src/sub-away now
        }
        expectEachEntryOnce(world.handles, test.sourceNow);
        EXPECT_EQ(world.journal.dropped.size(), 1U);
    }
}

// A move that fails leaves the source whole and nothing at the destination, not even a partial
// copy or a record.
TEST(MoveEngine, AFailedOrStoppedMoveLeavesTheSourceWholeAndNoCopy) {
    const Error denied{ErrorKind::permissionDenied, "Permission denied"};
    const Error full{ErrorKind::noSpace, "No space left on device"};
    struct Case {
        std::string name;
        Operation operation;
        std::string entry;
        std::function<void(FakeDirectoryHandles&)> act;
        std::optional<Error> failure;
        int times;
        ErrorKind kind;
    };
    const auto nothing = [](FakeDirectoryHandles&) {};
    const std::vector<Case> cases = {
        {"the disk fills at a file", Operation::copyFile, "b.bin", nothing, full, 1,
         ErrorKind::noSpace},
        {"the flush fails", Operation::flush, "", nothing, full, 1, ErrorKind::noSpace},
        // The four files of the source; the removal stops at the first folder that stays.
        {"nothing can be removed", Operation::remove, "", nothing, denied, 4,
         ErrorKind::permissionDenied},
        {"another mover took the source before the removal", Operation::rename, "",
         [](FakeDirectoryHandles& h) { h.renamePath("/src/tree", "/src/elsewhere"); }, std::nullopt,
         1, ErrorKind::notFound},
        {"the name was taken meanwhile", Operation::rename, "",
         [](FakeDirectoryHandles& h) { h.addFile("/dst/tree", "theirs"); }, std::nullopt, 1,
         ErrorKind::alreadyExists},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        World world;
        world.before(test.operation, test.entry, test.act, test.failure, test.times);
        const auto moved = world.move();
        ASSERT_FALSE(moved.ok());
        EXPECT_EQ(moved.error().kind, test.kind);
        world.handles.beforeOperation = nullptr;
        const std::string whole =
            world.handles.exists("/src/elsewhere") ? "/src/elsewhere" : "/src/tree";
        EXPECT_EQ(snapshot(world.handles, whole), kTree);
        const auto left = snapshot(world.handles, "/dst");
        EXPECT_TRUE(left.empty() ||
                    left == (std::map<std::string, std::string>{{"tree", "theirs"}}))
            << left.begin()->first;
        EXPECT_EQ(world.journal.written.size(), world.journal.dropped.size());
    }

    World stopped;
    stopped.observer.stopAt = 3;
    const auto cancelled = stopped.move();
    ASSERT_FALSE(cancelled.ok());
    EXPECT_EQ(cancelled.error().kind, ErrorKind::cancelled);
    EXPECT_EQ(stopped.observer.questions, 3);
    EXPECT_TRUE(snapshot(stopped.handles, "/dst").empty());
    EXPECT_EQ(snapshot(stopped.handles, "/src/tree"), kTree);
}

TEST(MoveEngine, AFolderIsNeverCopiedIntoItsOwnTreeWhateverLeadsThere) {
    World world;
    world.handles.addFilesystem("/src/tree/mounted");
    world.handles.addSymlink("/src/way-in", "tree/mounted");
    for (const std::string to : {"/src/tree/mounted/copy", "/src/way-in/copy"}) {
        const auto moved = world.move("/src/tree", to);
        ASSERT_FALSE(moved.ok()) << to;
        EXPECT_EQ(moved.error().kind, ErrorKind::invalidArgument);
    }
    EXPECT_TRUE(snapshot(world.handles, "/src/tree/mounted").empty());
}

TEST(MoveEngine, HardLinksWithinTheTreeStayOneItem) {
    World world;
    auto sub = world.handles.openFolder("/src/tree/sub");
    ASSERT_TRUE(world.handles.makeHardLink(sub.value(), "c", sub.value(), "c2").ok());
    sub = Result<FolderHandle>(Error{});
    ASSERT_TRUE(world.move().ok());
    const auto copy = world.handles.openFolder("/dst/tree/sub");
    EXPECT_TRUE(world.handles.status(copy.value(), "c")
                    .value()
                    .sameItem(world.handles.status(copy.value(), "c2").value()));
}

// What a process that died after recording its move left: the next one finishes it forward when
// the copy had its name, and undoes it when it still had its hidden one; only while the items at
// both paths are still the move's own.
TEST(MoveEngine, ARecordedMoveIsFinishedOrUndone) {
    struct Case {
        std::string name;
        std::string copyAt;   // where the dead process left the copy
        bool replacedSource;  // another item is at the source's path now
        bool placed;
        std::vector<std::string> left;  // entries left at the source, named
        std::map<std::string, std::string> sourceAfter;
    };
    const std::vector<Case> cases = {
        {"copy in place: the source goes but for what differs",
         "tree",
         false,
         true,
         {"/src/tree/sub/c"},
         {{"sub", "/"}, {"sub/c", "changed since"}}},
        {"copy in place, source replaced: nothing of it is touched",
         "tree",
         true,
         true,
         {},
         {{"other", "x"}}},
        {"copy still hidden: it goes, the source stays", ".tree.partial-9", false, false, {}, {}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        World world;
        FakeDirectoryHandles& h = world.handles;
        h.addFolder("/dst/" + test.copyAt);
        h.addFile("/dst/" + test.copyAt + "/a.txt", "a");
        h.addFolder("/dst/" + test.copyAt + "/sub");
        h.addFile("/dst/" + test.copyAt + "/sub/b.bin", "bb");
        h.addFile("/dst/" + test.copyAt + "/sub/c", "ccc");
        h.addSymlink("/dst/" + test.copyAt + "/link", "a.txt");
        const auto src = h.openFolder("/src");
        const auto dst = h.openFolder("/dst");
        const EntryStatus from = h.status(src.value(), "tree").value();
        const EntryStatus copy = h.status(dst.value(), test.copyAt).value();
        // The copies carry their source's modification times, as the engine's copies do.
        for (const std::string file : {"a.txt", "sub/b.bin", "sub/c", "link"}) {
            const auto slash = file.rfind('/');
            const std::string folder =
                slash == std::string::npos ? "" : "/" + file.substr(0, slash);
            const std::string name = file.substr(slash + 1);
            const auto in = h.openFolder("/src/tree" + folder);
            const auto out = h.openFolder("/dst/" + test.copyAt + folder);
            ASSERT_TRUE(h.applyMetadata(in.value(), name, out.value(), name,
                                        h.status(in.value(), name).value())
                            .ok());
        }
        h.rewriteFile("/src/tree/sub/c", "changed since");
        if (test.replacedSource) {
            h.renamePath("/src/tree", "/src/tree-was");
            h.addFolder("/src/tree");
            h.addFile("/src/tree/other", "x");
        }
        const MoveRecord record{"/src/tree", "/dst/tree", ".tree.partial-9", from.device,
                                from.inode,  copy.device, copy.inode};
        const auto finished = finishRecordedMove(h, record);
        ASSERT_TRUE(finished);
        EXPECT_EQ(finished->placed, test.placed);
        EXPECT_EQ(finished->outcome.leftAtSource, test.left);
        EXPECT_FALSE(h.exists("/dst/.tree.partial-9"));
        if (test.placed || test.replacedSource) {
            EXPECT_EQ(snapshot(h, "/src/tree"), test.sourceAfter);
        } else {
            EXPECT_TRUE(snapshot(h, "/src/tree").size() == kTree.size());
        }
        EXPECT_EQ(snapshot(h, "/src/victim"), kTree);
    }
}

}  // namespace
}  // namespace quenta::testing
