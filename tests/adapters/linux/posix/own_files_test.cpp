// The files the programs keep in the user's folders, each planted as something hostile: a link, a
// FIFO, a hard link to another file, someone else's file, a folder that is a link, or a folder
// reached through a link someone else owns.
#include "adapters/linux/posix/defaults_json_file.hpp"
#include "adapters/linux/posix/file_system_posix.hpp"
#include "adapters/linux/posix/pasteboard_store.hpp"
#include "support/temp_dir.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace quenta::testing {
namespace {

using linux_platform::DefaultsJsonFile;
using linux_platform::PasteboardStore;
using linux_platform::PosixFileSystem;

constexpr std::string_view kCut = "com.local.QuentaApp.cutPaths";
const std::string kPlantedStore = "quenta-pasteboard 1\n1:7\nkplanted";
const std::string kPlantedDefaults = R"({"k": "planted"})";

// One file of ours: where it lies, what a planted one holds, and the operations on it.
struct Place {
    const char* label;
    std::string folder;  // below the test's folder
    std::string name;
    std::string planted;
    // Whether a reader took the planted contents as ours.
    std::function<bool(const std::string& root)> seesPlanted;
    // Whether a write succeeded; none when the write may replace the planted file by a rename.
    std::function<bool(const std::string& root)> writes;
};

enum class Kind {
    link,
    danglingLink,
    fifo,
    hardLink,
    otherOwner,
    linkedFolder,
    foreignLinkOnTheWay
};

bool appendsToLog(const std::string& root) {
    return PosixFileSystem().appendToFile(root + "/state/QuentaApp.log", "line\n").ok();
}
bool defaultsSeePlanted(const std::string& root) {
    return DefaultsJsonFile(root + "/config/defaults.json").string("k") == "planted";
}
bool writesDefaults(const std::string& root) {
    return DefaultsJsonFile(root + "/config/defaults.json").setString("k", "new").ok();
}
bool storeSeesPlanted(const std::string& root) {
    const PasteboardStore store(root + "/pb");
    return store.stringForType("k").has_value() || store.hasString("k");
}
bool writesStore(const std::string& root) {
    return PasteboardStore(root + "/pb").setString("/a", kCut).ok();
}

std::vector<Place> places() {
    return {
        {"log", "state", "QuentaApp.log", "secret\n", nullptr, appendsToLog},
        {"defaults", "config", "defaults.json", kPlantedDefaults, defaultsSeePlanted,
         writesDefaults},
        {"defaults lock", "config", "defaults.json.lock", "secret", nullptr, writesDefaults},
        {"defaults side", "config", "defaults.json.new", "secret", nullptr, writesDefaults},
        {"store", "pb", "entries", kPlantedStore, storeSeesPlanted, nullptr},
        {"store side", "pb", "entries.new", "secret", nullptr, writesStore},
        {"store lock", "pb", "lock", "secret", nullptr, writesStore},
    };
}

TEST(OwnFilesTest, HostileStoredFilesAreNeitherReadNorWrittenThrough) {
    const std::pair<Kind, const char*> kinds[] = {
        {Kind::link, "link"},        {Kind::danglingLink, "dangling link"},
        {Kind::fifo, "FIFO"},        {Kind::hardLink, "hard link"},
        {Kind::otherOwner, "other"}, {Kind::linkedFolder, "linked folder"},
    };
    for (const auto& place : places()) {
        for (const auto& [kind, kindLabel] : kinds) {
            if ((kind == Kind::otherOwner || kind == Kind::foreignLinkOnTheWay) &&
                ::geteuid() != 0) {
                continue;  // only root can give a file away
            }
            SCOPED_TRACE(std::string(place.label) + " as " + kindLabel);
            const TempDir dir;
            const std::string folder = dir / place.folder;
            const std::string secret = dir / "secret";
            const std::string elsewhere = dir / "elsewhere";
            writeFile(secret, place.planted);
            ASSERT_EQ(::mkdir(elsewhere.c_str(), 0700), 0);
            if (kind == Kind::linkedFolder) {
                writeFile(elsewhere + "/" + place.name, place.planted);
                ASSERT_EQ(::symlink(elsewhere.c_str(), folder.c_str()), 0);
            } else {
                ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
            }
            const std::string path = folder + "/" + place.name;
            std::string root = dir.path();
            switch (kind) {
                case Kind::link:
                    ASSERT_EQ(::symlink(secret.c_str(), path.c_str()), 0);
                    break;
                case Kind::danglingLink:
                    ASSERT_EQ(::symlink((dir / "made").c_str(), path.c_str()), 0);
                    break;
                case Kind::fifo:
                    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
                    break;
                case Kind::hardLink:
                    ASSERT_EQ(::link(secret.c_str(), path.c_str()), 0);
                    break;
                case Kind::otherOwner:
                    writeFile(path, place.planted);
                    ASSERT_EQ(::chown(path.c_str(), 4321, 4321), 0);
                    break;
                case Kind::linkedFolder:
                    break;
                case Kind::foreignLinkOnTheWay:
                    writeFile(path, place.planted);
                    root = dir / "via";
                    ASSERT_EQ(::symlink(dir.path().c_str(), root.c_str()), 0);
                    ASSERT_EQ(::lchown(root.c_str(), 4321, 4321), 0);
                    break;
            }

            if (place.seesPlanted) {
                EXPECT_FALSE(place.seesPlanted(root));
            }
            if (place.writes) {
                EXPECT_FALSE(place.writes(root));
            } else {
                ignoreResult(writesStore(root), "it may replace the planted file itself");
            }
            if (kind == Kind::foreignLinkOnTheWay) {
                EXPECT_EQ(readFile(path), place.planted);
            }
            EXPECT_EQ(readFile(secret), place.planted);
            EXPECT_FALSE(std::filesystem::exists(dir / "made"));
            if (kind == Kind::linkedFolder) {
                EXPECT_EQ(readFile(elsewhere + "/" + place.name), place.planted);
                EXPECT_EQ(std::distance(std::filesystem::directory_iterator(elsewhere),
                                        std::filesystem::directory_iterator()),
                          1);
            }
        }
    }
}

TEST(OwnFilesTest, DefaultsTooLargeOrTooDeepReadAsEmptyAndAreReplacedSmall) {
    const TempDir dir;
    const std::string path = dir / "defaults.json";
    // 200 kB nesting 100,000 lists.
    writeFile(path,
              R"({"k": "v", "deep": )" + std::string(100000, '[') + std::string(100000, ']') + "}");
    DefaultsJsonFile defaults(path);
    EXPECT_EQ(defaults.string("k"), std::nullopt);
    ASSERT_TRUE(defaults.setString("k", "w").ok());
    EXPECT_LT(std::filesystem::file_size(path), 100U);

    // Just over 4 MB, sparse: refused by its size, never read.
    writeFile(path, kPlantedDefaults);
    std::filesystem::resize_file(path, std::uintmax_t{4} * 1024 * 1024 + 1);
    EXPECT_EQ(DefaultsJsonFile(path).string("k"), std::nullopt);
}

TEST(OwnFilesTest, APasteboardEntryHoldsALargeCutButNotAnyAmount) {
    const TempDir dir;
    PasteboardStore store(dir / "pb");
    // 50,000 paths of 1,000 bytes.
    std::string cut;
    for (int i = 0; i < 50000; ++i) {
        cut += "/" + std::string(994, 'p') + std::to_string(100000 + i).substr(1) + "\n";
    }
    ASSERT_TRUE(store.setString(cut, kCut).ok());
    EXPECT_TRUE(store.hasString(kCut));
    EXPECT_EQ(store.stringForType(kCut), cut);

    // Over the limit: the write fails, and a planted one (sparse, 100 MB) reads as no entry.
    EXPECT_FALSE(store.setString(std::string(PasteboardStore::kMaxEntrySize + 1, 'x'), kCut).ok());
    const std::string entries = dir / "pb/entries";
    const std::string header = "quenta-pasteboard 1\n" + std::to_string(kCut.size()) + ":" +
                               std::to_string(100 << 20) + "\n" + std::string(kCut);
    writeFile(entries, header);
    std::filesystem::resize_file(entries, header.size() + (100U << 20));
    EXPECT_FALSE(store.hasString(kCut));
    EXPECT_EQ(store.stringForType(kCut), std::nullopt);
}

}  // namespace
}  // namespace quenta::testing
