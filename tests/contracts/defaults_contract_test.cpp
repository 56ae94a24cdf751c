// One contract, two kinds of user defaults: the in-memory fake the logic tests use and the JSON
// file of the Linux adapter (in a folder that does not exist yet), so the fake cannot drift.
#include "adapters/linux/posix/defaults_json_file.hpp"
#include "fakes/memory_defaults.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

namespace quenta::testing {
namespace {

using namespace std::chrono_literals;

struct MemorySide {
    MemoryDefaults defaults;
    // Another process of the same domain: for the fake, the same store.
    Defaults& another() { return defaults; }
};

struct JsonFileSide {
    TempDir dir;
    std::string path = dir / "missing/QuentaApp/defaults.json";
    linux_platform::DefaultsJsonFile defaults{path};
    std::unique_ptr<linux_platform::DefaultsJsonFile> other;
    Defaults& another() {
        other = std::make_unique<linux_platform::DefaultsJsonFile>(path);
        return *other;
    }
};

template <class Side>
class DefaultsContract : public ::testing::Test {
  protected:
    Side side;
    Defaults& defaults = side.defaults;
};

using Sides = ::testing::Types<MemorySide, JsonFileSide>;
TYPED_TEST_SUITE(DefaultsContract, Sides);

TYPED_TEST(DefaultsContract, ValuesReadBackByKindAndSurviveInAnotherInstance) {
    EXPECT_EQ(this->defaults.object("UpdateLatestVersion"), std::nullopt);
    // Dates are kept to the millisecond.
    const DefaultsDate when = DefaultsDate(1714564800250ms) + 700us;
    ASSERT_TRUE(this->defaults.setString("UpdateLatestVersion", "1.4.2").ok());
    ASSERT_TRUE(this->defaults.setDate("UpdateNextCheckDate", when).ok());

    Defaults& another = this->side.another();
    EXPECT_EQ(another.string("UpdateLatestVersion"), "1.4.2");
    EXPECT_EQ(another.date("UpdateNextCheckDate"), DefaultsDate(1714564800250ms));
    EXPECT_EQ(another.date("UpdateLatestVersion"), std::nullopt) << "a string is not a date";
    EXPECT_EQ(another.string("UpdateNextCheckDate"), std::nullopt) << "a date is not a string";
}

TYPED_TEST(DefaultsContract, AWriteReplacesTheKeyWhateverItHeldAndRemoveForgetsIt) {
    ASSERT_TRUE(this->defaults.setString("k", "text").ok());
    ASSERT_TRUE(this->defaults.setDate("k", DefaultsDate(5s)).ok());
    EXPECT_EQ(this->side.another().date("k"), DefaultsDate(5s));
    ASSERT_TRUE(this->defaults.remove("k").ok());
    ASSERT_TRUE(this->defaults.remove("never-set").ok());
    EXPECT_EQ(this->side.another().object("k"), std::nullopt);
}

}  // namespace
}  // namespace quenta::testing
