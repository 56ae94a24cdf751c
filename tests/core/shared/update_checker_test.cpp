#include "core/shared/update_checker.hpp"

#include "core/shared/app_release.hpp"
#include "fakes/fixed_bundle.hpp"
#include "fakes/fixed_clock.hpp"
#include "fakes/manual_main_queue.hpp"
#include "fakes/memory_defaults.hpp"
#include "fakes/scripted_http_client.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace quenta::testing {
namespace {

using namespace std::chrono_literals;
using Checker = UpdateChecker;

// ---- The version order ----

struct VersionCase {
    const char* candidate;
    const char* reference;
    bool newer;
};

TEST(UpdateCheckerVersionTest, FollowsTheNumericStringOrder) {
    const VersionCase cases[] = {
        {"1.10", "1.9", true},
        {"1.9", "1.10", false},
        {"1.0", "1.0", false},
        {"2.0", "1.9.9", true},
        {"1.9.9", "2.0", false},
        {"1.2.1", "1.2", true},
        {"1.2.0", "1.2", true},
        {"1.2", "1.2.0", false},
        {"1.2b", "1.2", true},
        {"1.2", "1.2b", false},
        {"1.3", "1-3", true},  // "." (U+002E) is above "-" (U+002D)
        {"1-3", "1.3", false},
        {"1.a", "1.1", true},  // a letter against a digit compares as characters
        {"11", "1a", true},
        {"10", "9z", true},
        {"v2", "v10", false},
        {"1.é", "1.z", true},  // code points beyond ASCII
        {"1.z", "1.é", false},
        {"123456789012345678901234567891", "123456789012345678901234567890", true},
        {"999999999999999999999999", "1000000000000000000000000", false},
        {"1.2.0", "", true},
        {"", "", false},
        {"", "0", false},
        {"0", "", true},
        {"1.0", "1.0 ", false},
        // Leading zeros do not change a digit run's value.
        {"1.01", "1.1", false},
        {"1.1", "1.01", false},
        {"01", "1", false},
        {"1.02", "1.1", true},
        {"1.010", "1.9", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Checker::isVersion(c.candidate, c.reference), c.newer)
            << '"' << c.candidate << "\" newer than \"" << c.reference << '"';
    }
}

TEST(UpdateCheckerVersionTest, IsAStrictOrder) {
    const std::vector<std::string> versions = {"",    "0",    "1",     "1.0", "1.01", "1.1",
                                               "1.2", "1.2b", "1.10",  "1-3", "2",    "a",
                                               "10",  "01",   "1.9.9", "1.é", "x1y2"};
    for (const auto& a : versions) {
        EXPECT_FALSE(Checker::isVersion(a, a)) << a;
        for (const auto& b : versions) {
            EXPECT_FALSE(Checker::isVersion(a, b) && Checker::isVersion(b, a)) << a << " " << b;
            for (const auto& c : versions) {
                if (Checker::isVersion(a, b) && Checker::isVersion(b, c)) {
                    EXPECT_TRUE(Checker::isVersion(a, c)) << a << " " << b << " " << c;
                }
            }
        }
    }
}

// ---- The manifest and the addresses ----

TEST(ReleaseManifestTest, ReadsTheVersionStringAndIgnoresEverythingElse) {
    EXPECT_EQ(decodeReleaseManifest(R"({"version": "1.3.0", "notes": {"en": ["x"]}})").value(),
              "1.3.0");
    EXPECT_EQ(decodeReleaseManifest(R"({"url": "https://elsewhere/", "version": "2"})").value(),
              "2");
    EXPECT_EQ(decodeReleaseManifest(R"({"version": " 1.4 beta "})").value(), " 1.4 beta ");
    EXPECT_EQ(decodeReleaseManifest(R"({"version": ""})").value(), "");
    EXPECT_EQ(decodeReleaseManifest("\xEF\xBB\xBF{\"version\": \"1\"}").value(), "1");
}

TEST(ReleaseManifestTest, AnythingButAnObjectWithAVersionStringIsADecodingError) {
    const char* const bodies[] = {
        R"({"version": 1.3})",
        R"({"version": null})",
        R"({"version": ["1.3"]})",
        R"({"name": "quenta"})",
        R"({})",
        R"(["1.3.0"])",
        R"("1.3.0")",
        "",
        "<html>Not found</html>",
        R"({"version": "1.3.0")",
        R"({"version": "1.3.0"} trailing)",
        "{\"version\": \"\xFF\"}",
        // Versions that would show as something else, or flood the menu.
        "{\"version\": \"1.3\\u001b]0;title\\u0007\"}",
        "{\"version\": \"1.3\\u007f\"}",
        "{\"version\": \"1.3\\u0085\"}",
        "{\"version\": \"1.3\\u202e0.9\"}",
        "{\"version\": \"1.3\\u2066\"}",
    };
    for (const char* body : bodies) {
        const auto decoded = decodeReleaseManifest(body);
        ASSERT_FALSE(decoded.ok()) << body;
        EXPECT_EQ(decoded.error().kind, ErrorKind::decoding) << body;
        EXPECT_FALSE(decoded.error().description.empty());
    }
}

TEST(ReleaseManifestTest, AVersionOfAtMost64BytesIsRead) {
    EXPECT_EQ(decodeReleaseManifest(R"({"version": ")" + std::string(64, '9') + "\"}").value(),
              std::string(64, '9'));
    EXPECT_FALSE(decodeReleaseManifest(R"({"version": ")" + std::string(65, '9') + "\"}").ok());
    EXPECT_EQ(decodeReleaseManifest(R"({"version": "1.3 \u00e9t\u00e9"})").value(), "1.3 été");
}

TEST(ReleaseManifestTest, DeeplyNestedBodiesAreReadWithoutExhaustingTheStack) {
    const std::string deep =
        "{\"x\": " + std::string(200000, '[') + std::string(200000, ']') + ", \"version\": \"3\"}";
    EXPECT_EQ(decodeReleaseManifest(deep).value(), "3");
    EXPECT_FALSE(decodeReleaseManifest(std::string(1000000, '[')).ok());
}

TEST(UpdateCheckerAddressTest, BothAddressesAreOnTheSameServer) {
    const std::string manifest = Checker::latestReleaseURL();
    const std::string page = Checker::downloadPageURL();
    const std::string manifestPath = "/works/quentaapp/downloads/latest.json";
    const std::string pagePath = "/works/quentaapp/";
    ASSERT_GT(manifest.size(), manifestPath.size());
    ASSERT_GT(page.size(), pagePath.size());
    EXPECT_EQ(manifest.substr(manifest.size() - manifestPath.size()), manifestPath);
    EXPECT_EQ(page.substr(page.size() - pagePath.size()), pagePath);
    const std::string server = page.substr(0, page.size() - pagePath.size());
    EXPECT_EQ(manifest.substr(0, server.size()), server);
    EXPECT_TRUE(server.rfind("https://", 0) == 0 || server.rfind("http://", 0) == 0) << server;
    EXPECT_NE(server.back(), '/');
}

// ---- Schedule and cache ----

class UpdateCheckerTest : public ::testing::Test {
  protected:
    static constexpr auto kStart = std::chrono::system_clock::time_point(1700000000s);

    explicit UpdateCheckerTest(std::optional<std::string> version = "1.2.0")
        : bundle(std::move(version)) {}

    // A completion that records each call; the test checks it runs once, from the main queue.
    Checker::Completion recorder() {
        return [this](const Checker::CheckResult& result) { results.push_back(result); };
    }

    AppRelease pageRelease(const std::string& version) const {
        return AppRelease{version, Checker::downloadPageURL()};
    }

    // Seeds the cache as an earlier successful check would have left it.
    void cacheRelease(const std::string& version) {
        defaults.values[std::string(Checker::kLatestVersionKey)] = version;
        defaults.values[std::string(Checker::kLatestPageURLKey)] = Checker::downloadPageURL();
    }

    std::optional<DefaultsDate> nextCheck() const {
        return defaults.date(Checker::kNextCheckDateKey);
    }

    FixedClock clock{kStart};
    ManualMainQueue queue{clock};
    MemoryDefaults defaults;
    ScriptedHttpClient http{queue};
    FixedBundle bundle;
    Checker checker{defaults, http, queue, clock, bundle};
    std::vector<Checker::CheckResult> results;
};

TEST_F(UpdateCheckerTest, FirstRunChecksAtOnceAndKnowsNoUpdate) {
    EXPECT_EQ(checker.availableUpdate(), std::nullopt);
    EXPECT_EQ(checker.currentVersion(), "1.2.0");

    checker.checkIfNeeded();
    ASSERT_EQ(http.requests.size(), 1U);
    EXPECT_EQ(http.requests[0].url, Checker::latestReleaseURL());
    EXPECT_EQ(http.requests[0].timeout, 15s);
    // The hour's hold-off is stored before the request is answered.
    ASSERT_EQ(defaults.writes.size(), 1U);
    EXPECT_EQ(defaults.writes[0],
              (MemoryDefaults::Write{"UpdateNextCheckDate", DefaultsValue(kStart + 1h)}));
}

// Defaults that cannot store anything, as in a configuration folder that cannot be written.
class UnwritableDefaults : public MemoryDefaults {
  public:
    Status setDate(std::string_view /*key*/, DefaultsDate /*value*/) override {
        return Error{ErrorKind::permissionDenied, "read-only"};
    }
};

TEST_F(UpdateCheckerTest, DefaultsThatCannotBeStoredMeanNoAutomaticCheck) {
    UnwritableDefaults unwritable;
    Checker blind{unwritable, http, queue, clock, bundle};
    blind.checkIfNeeded();
    blind.checkIfNeeded();
    EXPECT_TRUE(http.requests.empty());
    // Asked for by the person, it still checks.
    blind.check(recorder());
    EXPECT_EQ(http.requests.size(), 1U);
}

TEST_F(UpdateCheckerTest, AStoredVersionThatCannotShowIsNoUpdate) {
    cacheRelease("9\x1b[2J");
    EXPECT_EQ(checker.availableUpdate(), std::nullopt);
    cacheRelease("9" + std::string(64, '0'));
    EXPECT_EQ(checker.availableUpdate(), std::nullopt);
}

TEST_F(UpdateCheckerTest, AnAnswerThatArrivesAfterTheCheckerIsGoneReachesNothing) {
    auto shortLived = std::make_unique<Checker>(defaults, http, queue, clock, bundle);
    http.answerOk(R"({"version": "1.3.0"})");
    shortLived->check(recorder());
    shortLived.reset();
    defaults.writes.clear();
    queue.advance(1s);
    EXPECT_TRUE(results.empty());
    EXPECT_TRUE(defaults.writes.empty());
}

TEST_F(UpdateCheckerTest, SuccessWithTheRunningVersionCachesItAndWaitsADay) {
    http.answerOk(R"({"version": "1.2.0"})");
    checker.check(recorder());
    EXPECT_TRUE(results.empty()) << "the completion must come later, from the main queue";

    queue.advance(1s);
    const auto answeredAt = kStart + 100ms;
    ASSERT_EQ(results.size(), 1U);
    ASSERT_TRUE(results[0].ok());
    EXPECT_EQ(results[0].value(), std::nullopt);

    const std::vector<MemoryDefaults::Write> expected = {
        {"UpdateNextCheckDate", DefaultsValue(kStart + 1h)},
        {"UpdateNextCheckDate", DefaultsValue(answeredAt + 24h)},
        {"UpdateLatestVersion", DefaultsValue(std::string("1.2.0"))},
        {"UpdateLatestPageURL", DefaultsValue(Checker::downloadPageURL())},
    };
    EXPECT_EQ(defaults.writes, expected);
    EXPECT_EQ(checker.availableUpdate(), std::nullopt);

    queue.advance(23h + 59min);
    checker.checkIfNeeded();
    EXPECT_EQ(http.requests.size(), 1U);
    clock.set(answeredAt + 24h);
    checker.checkIfNeeded();
    EXPECT_EQ(http.requests.size(), 2U) << "a date now, not in the future, is due";
    EXPECT_EQ(results.size(), 1U);
}

TEST_F(UpdateCheckerTest, SuccessWithANewerVersionOffersItUntilTheAppReachesIt) {
    http.answerOk(R"({"version": "1.3.0", "released": "2024-05-01"})");
    checker.check(recorder());
    queue.runUntilIdle();
    EXPECT_EQ(results.size(), 0U) << "answered 100 ms later, not at once";
    queue.advance(100ms);
    ASSERT_EQ(results.size(), 1U);
    ASSERT_TRUE(results[0].ok());
    EXPECT_EQ(results[0].value(), pageRelease("1.3.0"));
    EXPECT_EQ(checker.availableUpdate(), pageRelease("1.3.0"));
    EXPECT_EQ(checker.availableUpdate(), pageRelease("1.3.0"));

    // The same cache read by the updated application offers nothing, without a new check.
    FixedBundle updated("1.3.0");
    const Checker afterUpdate(defaults, http, queue, clock, updated);
    EXPECT_EQ(afterUpdate.availableUpdate(), std::nullopt);
    EXPECT_EQ(http.requests.size(), 1U);
}

TEST_F(UpdateCheckerTest, FailuresKeepTheCacheAndHoldOffForAnHour) {
    struct FailureCase {
        const char* name;
        Result<HttpResponse> answer;
        ErrorKind kind;
    };
    const Error offline{ErrorKind::transport, "Could not resolve host: quentaapp.org"};
    const std::vector<FailureCase> cases = {
        {"404", HttpResponse{404, "<h1>Not Found</h1>"}, ErrorKind::badServerResponse},
        {"500", HttpResponse{500, R"({"version": "9"})"}, ErrorKind::badServerResponse},
        {"redirect not followed", HttpResponse{302, ""}, ErrorKind::badServerResponse},
        {"200 without a body", HttpResponse{200, std::nullopt}, ErrorKind::badServerResponse},
        {"200 with a page", HttpResponse{200, "<html></html>"}, ErrorKind::decoding},
        {"200 with a number", HttpResponse{200, R"({"version": 1.3})"}, ErrorKind::decoding},
        {"no network", offline, ErrorKind::transport},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        defaults.values.clear();
        defaults.writes.clear();
        results.clear();
        cacheRelease("1.5.0");
        const auto startedAt = clock.now();

        http.answer(c.answer);
        checker.check(recorder());
        queue.advance(1s);

        ASSERT_EQ(results.size(), 1U);
        ASSERT_FALSE(results[0].ok());
        EXPECT_EQ(results[0].error().kind, c.kind);
        if (c.kind == ErrorKind::transport) {
            EXPECT_EQ(results[0].error().description, offline.description) << "passed on unchanged";
        }
        ASSERT_EQ(defaults.writes.size(), 1U) << "nothing stored beyond the hold-off";
        EXPECT_EQ(nextCheck(), startedAt + 1h);
        EXPECT_EQ(checker.availableUpdate(), pageRelease("1.5.0"));

        const auto requests = http.requests.size();
        queue.advance(59min);
        checker.checkIfNeeded();
        EXPECT_EQ(http.requests.size(), requests);
        queue.advance(1min);
        checker.checkIfNeeded();
        EXPECT_EQ(http.requests.size(), requests + 1);
        http.unanswered.clear();
    }
}

TEST_F(UpdateCheckerTest, CheckIfNeededTwiceWithinAnHourAsksOnce) {
    checker.checkIfNeeded();  // never answered
    queue.advance(30min);
    checker.checkIfNeeded();
    EXPECT_EQ(http.requests.size(), 1U);
    EXPECT_EQ(queue.pendingCount(), 0U);
}

TEST_F(UpdateCheckerTest, TheAutomaticCheckIsSilentAndStillCaches) {
    http.answerOk(R"({"version": "2.0"})");
    checker.checkIfNeeded();
    queue.advance(1s);
    EXPECT_EQ(checker.availableUpdate(), pageRelease("2.0"));

    http.answer(Error{ErrorKind::transport, "offline"});
    checker.check();
    queue.advance(1s);
    EXPECT_EQ(checker.availableUpdate(), pageRelease("2.0"));
}

TEST_F(UpdateCheckerTest, OverlappingChecksBothRunAndTheLaterSuccessWins) {
    http.answer(HttpResponse{200, R"({"version": "1.4"})"}, 300ms);
    http.answer(HttpResponse{200, R"({"version": "1.3"})"}, 500ms);
    std::vector<Checker::CheckResult> second;
    checker.check(recorder());
    checker.check([&second](const Checker::CheckResult& result) { second.push_back(result); });
    EXPECT_EQ(http.requests.size(), 2U);
    queue.advance(1s);
    ASSERT_EQ(results.size(), 1U);
    ASSERT_EQ(second.size(), 1U);
    EXPECT_EQ(results[0].value(), pageRelease("1.4"));
    EXPECT_EQ(second[0].value(), pageRelease("1.3"));
    EXPECT_EQ(checker.availableUpdate(), pageRelease("1.3"));
    EXPECT_EQ(nextCheck(), kStart + 500ms + 24h);
}

TEST_F(UpdateCheckerTest, CachedValuesOfTheWrongKindMeanNoUpdateAndADueCheck) {
    cacheRelease("9.0");
    ASSERT_EQ(checker.availableUpdate(), pageRelease("9.0"));

    defaults.setOther(Checker::kLatestVersionKey);
    EXPECT_EQ(checker.availableUpdate(), std::nullopt);
    cacheRelease("9.0");
    defaults.setOther(Checker::kLatestPageURLKey);
    EXPECT_EQ(checker.availableUpdate(), std::nullopt);
    defaults.values[std::string(Checker::kLatestPageURLKey)] = DefaultsValue(kStart);
    EXPECT_EQ(checker.availableUpdate(), std::nullopt);
    for (const char* notAUrl : {"", "no scheme here", "https://quentaapp.org/a b", "http://h:x/"}) {
        defaults.values[std::string(Checker::kLatestPageURLKey)] = std::string(notAUrl);
        EXPECT_EQ(checker.availableUpdate(), std::nullopt) << notAUrl;
    }
    // Whatever page the cache holds is offered, as stored.
    defaults.values[std::string(Checker::kLatestPageURLKey)] = std::string("https://mirror/q/");
    EXPECT_EQ(checker.availableUpdate(), (AppRelease{"9.0", "https://mirror/q/"}));
    defaults.values.erase(std::string(Checker::kLatestVersionKey));
    EXPECT_EQ(checker.availableUpdate(), std::nullopt);

    defaults.values[std::string(Checker::kNextCheckDateKey)] = std::string("tomorrow");
    checker.checkIfNeeded();
    EXPECT_EQ(http.requests.size(), 1U);
    defaults.setOther(Checker::kNextCheckDateKey);
    checker.checkIfNeeded();
    EXPECT_EQ(http.requests.size(), 2U);
    defaults.values[std::string(Checker::kNextCheckDateKey)] = DefaultsValue(kStart - 1s);
    checker.checkIfNeeded();
    EXPECT_EQ(http.requests.size(), 3U);
    defaults.values[std::string(Checker::kNextCheckDateKey)] = DefaultsValue(kStart + 1ms);
    checker.checkIfNeeded();
    EXPECT_EQ(http.requests.size(), 3U);
}

class UnversionedUpdateCheckerTest : public UpdateCheckerTest {
  protected:
    UnversionedUpdateCheckerTest() : UpdateCheckerTest(std::nullopt) {}
};

TEST_F(UnversionedUpdateCheckerTest, RunsAsVersionZero) {
    EXPECT_EQ(checker.currentVersion(), "0");
    for (const char* newer : {"0.0.1", "1", "0a", "a"}) {
        cacheRelease(newer);
        EXPECT_EQ(checker.availableUpdate(), pageRelease(newer)) << newer;
    }
    for (const char* notNewer : {"0", "", "00", "-1", " "}) {
        cacheRelease(notNewer);
        EXPECT_EQ(checker.availableUpdate(), std::nullopt) << notNewer;
    }
    http.answerOk(R"({"version": ""})");
    checker.check(recorder());
    queue.advance(1s);
    ASSERT_EQ(results.size(), 1U);
    EXPECT_EQ(results[0].value(), std::nullopt);
    EXPECT_EQ(defaults.string(Checker::kLatestVersionKey), "");
}

}  // namespace
}  // namespace quenta::testing
