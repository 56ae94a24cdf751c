#include "adapters/linux/posix/defaults_json_file.hpp"

#include "support/temp_dir.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace quenta::testing {
namespace {

using linux_platform::DefaultsJsonFile;
using namespace std::chrono_literals;

// Sets an environment variable for the scope and puts the old value back.
class EnvScope {
  public:
    EnvScope(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        if (value != nullptr) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~EnvScope() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    EnvScope(const EnvScope&) = delete;
    EnvScope& operator=(const EnvScope&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

class DefaultsJsonFileTest : public ::testing::Test {
  protected:
    std::string file() const { return dir / "config/QuentaApp/defaults.json"; }
    nlohmann::json onDisk() const { return nlohmann::json::parse(readFile(file())); }

    TempDir dir;
};

TEST_F(DefaultsJsonFileTest, StoresTypedValuesThatAnotherInstanceReadsBack) {
    const auto when = std::chrono::system_clock::time_point(1700000000123ms);
    {
        DefaultsJsonFile defaults(file());
        EXPECT_EQ(defaults.object("UpdateLatestVersion"), std::nullopt);
        ASSERT_TRUE(defaults.setString("UpdateLatestVersion", "1.3.0").ok());
        ASSERT_TRUE(defaults.setDate("UpdateNextCheckDate", when + 456us).ok());
        ASSERT_TRUE(defaults.setString("Text", "名前 \"quoted\"\n").ok());
        EXPECT_EQ(defaults.string("UpdateLatestVersion"), "1.3.0");
    }
    EXPECT_EQ(modeOf(file()), 0600);
    EXPECT_EQ(modeOf(dir / "config/QuentaApp"), 0700);
    EXPECT_EQ(onDisk(), nlohmann::json::parse(R"({"UpdateLatestVersion": "1.3.0",
        "UpdateNextCheckDate": {"$date": 1700000000123}, "Text": "名前 \"quoted\"\n"})"));

    DefaultsJsonFile again(file());
    EXPECT_EQ(again.string("UpdateLatestVersion"), "1.3.0");
    EXPECT_EQ(again.date("UpdateNextCheckDate"), when) << "kept to the millisecond";
    EXPECT_EQ(again.string("Text"), "名前 \"quoted\"\n");
    ASSERT_TRUE(again.remove("Text").ok());
    ASSERT_TRUE(again.remove("NeverThere").ok());
    EXPECT_EQ(again.object("Text"), std::nullopt);
    EXPECT_FALSE(onDisk().contains("Text"));
}

TEST_F(DefaultsJsonFileTest, AMissingKeyAndAValueOfAnotherKindAreDifferentAnswers) {
    ASSERT_EQ(::system(("mkdir -p " + shellQuote(dir / "config/QuentaApp")).c_str()), 0);
    writeFile(file(), R"({
        "number": 1.5, "integer": 7, "bool": true, "null": null, "list": ["a"],
        "object": {"a": 1}, "dateAsText": {"$date": "2024"}, "dateWithMore": {"$date": 1, "x": 2},
        "dateOutOfRange": {"$date": 18446744073709551615}, "past": {"$date": -1000},
        "text": "t", "date": {"$date": 0}})");
    const DefaultsJsonFile defaults(file());
    for (const char* key : {"number", "integer", "bool", "null", "list", "object", "dateAsText",
                            "dateWithMore", "dateOutOfRange"}) {
        EXPECT_EQ(defaults.object(key), DefaultsValue(OtherDefaultsValue{})) << key;
        EXPECT_EQ(defaults.string(key), std::nullopt) << key;
        EXPECT_EQ(defaults.date(key), std::nullopt) << key;
    }
    EXPECT_EQ(defaults.object("absent"), std::nullopt);
    EXPECT_EQ(defaults.object("text"), DefaultsValue(std::string("t")));
    EXPECT_EQ(defaults.date("text"), std::nullopt);
    EXPECT_EQ(defaults.string("date"), std::nullopt);
    EXPECT_EQ(defaults.date("date"), std::chrono::system_clock::time_point{});
    EXPECT_EQ(defaults.date("past"), std::chrono::system_clock::time_point{} - 1s);
}

TEST_F(DefaultsJsonFileTest, ValuesTheSystemDoesNotReadSurviveWrites) {
    ASSERT_EQ(::system(("mkdir -p " + shellQuote(dir / "config/QuentaApp")).c_str()), 0);
    writeFile(file(), R"({"list": [1, {"b": null}], "text": "old"})");
    DefaultsJsonFile defaults(file());
    ASSERT_TRUE(defaults.setString("text", "new").ok());
    EXPECT_EQ(onDisk(), nlohmann::json::parse(R"({"list": [1, {"b": null}], "text": "new"})"));
}

TEST_F(DefaultsJsonFileTest, ACorruptFileReadsAsEmptyAndIsReplacedByTheNextWrite) {
    ASSERT_EQ(::system(("mkdir -p " + shellQuote(dir / "config/QuentaApp")).c_str()), 0);
    const std::string corrupt[] = {
        std::string("\x00\xff garbage {", 12),
        "",
        "[1, 2]",
        "\"text\"",
        "{\"a\": \"b\"",
        std::string(100000, '[') + std::string(100000, ']'),
        "{\"a\": \"\xC3\"}",
        std::string(5 * 1024 * 1024, ' ') + "{}",
    };
    for (const auto& contents : corrupt) {
        writeFile(file(), contents);
        DefaultsJsonFile defaults(file());
        EXPECT_EQ(defaults.object("a"), std::nullopt);
        ASSERT_TRUE(defaults.setString("UpdateLatestVersion", "1.0").ok());
        EXPECT_EQ(onDisk(), nlohmann::json::parse(R"({"UpdateLatestVersion": "1.0"})"));
        EXPECT_EQ(DefaultsJsonFile(file()).string("UpdateLatestVersion"), "1.0");
    }
    EXPECT_FALSE(std::filesystem::exists(file() + ".new")) << "no side file left behind";
}

TEST_F(DefaultsJsonFileTest, ReadsSeeEveryChangeAnotherWriterMakes) {
    const DefaultsJsonFile reader(file());
    DefaultsJsonFile writer(file());
    EXPECT_EQ(reader.string("k"), std::nullopt);
    // Values of one length written back to back: the reader's cache must still notice each.
    for (int i = 0; i < 200; ++i) {
        const std::string value = std::to_string(100 + i);
        ASSERT_TRUE(writer.setString("k", value).ok());
        ASSERT_EQ(reader.string("k"), value);
    }
    ASSERT_TRUE(writer.remove("k").ok());
    EXPECT_EQ(reader.object("k"), std::nullopt);
    std::filesystem::remove(file());
    EXPECT_EQ(DefaultsJsonFile(file()).object("k"), std::nullopt);
}

TEST_F(DefaultsJsonFileTest, TwoProcessesWritingAtOnceLoseNoKey) {
    constexpr int kKeysPerWriter = 150;
    const auto writeKeys = [this](const std::string& prefix) {
        DefaultsJsonFile defaults(file());
        bool ok = true;
        for (int i = 0; i < kKeysPerWriter; ++i) {
            ok = defaults.setString(prefix + std::to_string(i), prefix).ok() && ok;
        }
        return ok;
    };
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::_exit(writeKeys("child") ? 0 : 1);
    }
    const bool parentOk = writeKeys("parent");
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(parentOk);

    const DefaultsJsonFile defaults(file());
    for (int i = 0; i < kKeysPerWriter; ++i) {
        EXPECT_EQ(defaults.string("child" + std::to_string(i)), "child") << i;
        EXPECT_EQ(defaults.string("parent" + std::to_string(i)), "parent") << i;
    }
    EXPECT_EQ(onDisk().size(), 2U * kKeysPerWriter);
}

TEST_F(DefaultsJsonFileTest, AFailedWriteIsReportedAndStillSeenByThisProcess) {
    writeFile(dir / "blocker", "a file where a folder should be");
    const std::string unreachable = dir / "blocker/QuentaApp/defaults.json";
    DefaultsJsonFile defaults(unreachable);
    const Status stored = defaults.setString("UpdateLatestVersion", "2.0");
    ASSERT_FALSE(stored.ok());
    EXPECT_EQ(stored.error().kind, ErrorKind::notADirectory);
    EXPECT_FALSE(stored.error().description.empty());
    EXPECT_EQ(defaults.string("UpdateLatestVersion"), "2.0");
    EXPECT_FALSE(defaults.remove("UpdateLatestVersion").ok());
    EXPECT_EQ(defaults.object("UpdateLatestVersion"), std::nullopt);
    EXPECT_EQ(DefaultsJsonFile(unreachable).object("UpdateLatestVersion"), std::nullopt);
}

TEST_F(DefaultsJsonFileTest, ChangesThatFailedAreStoredByTheNextSuccessfulWrite) {
    // The folder can be written again once the file that stood in its way is gone.
    writeFile(dir / "config", "not yet a folder");
    DefaultsJsonFile defaults(file());
    ASSERT_FALSE(defaults.setString("first", "1").ok());
    std::filesystem::remove(dir / "config");
    ASSERT_TRUE(defaults.setString("second", "2").ok());
    EXPECT_EQ(onDisk(), nlohmann::json::parse(R"({"first": "1", "second": "2"})"));
}

TEST(DefaultsJsonFilePathTest, FollowsTheXdgConfigFolder) {
    const EnvScope home("HOME", "/home/someone");
    {
        const EnvScope config("XDG_CONFIG_HOME", "/tmp/cfg/");
        EXPECT_EQ(DefaultsJsonFile::pathForDomain("QuentaApp"), "/tmp/cfg/QuentaApp/defaults.json");
    }
    for (const char* unusable : {static_cast<const char*>(nullptr), "", "relative/cfg"}) {
        const EnvScope config("XDG_CONFIG_HOME", unusable);
        EXPECT_EQ(DefaultsJsonFile::pathForDomain("QuentaFinderExtension"),
                  "/home/someone/.config/QuentaFinderExtension/defaults.json");
    }
}

}  // namespace
}  // namespace quenta::testing
