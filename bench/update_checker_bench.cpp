// What the extension pays on every menu it builds: `checkIfNeeded()` and `availableUpdate` read
// the update cache from the real defaults file (no network: the next check lies in the future).
#include "adapters/linux/posix/defaults_json_file.hpp"
#include "adapters/linux/posix/project_bundle.hpp"
#include "adapters/linux/posix/system_clock.hpp"
#include "core/shared/update_checker.hpp"

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace {

using namespace quenta;
using namespace std::chrono_literals;

// Must never be reached: the schedule holds every check off.
class RefusingHttpClient : public HttpClient {
  public:
    void get(const std::string&, std::chrono::milliseconds, Completion) override {
        throw std::logic_error("the benchmark must not start a check");
    }
};

class DiscardingMainQueue : public MainQueue {
  public:
    void async(Task) override {}
    void asyncAfter(std::chrono::milliseconds, Task) override {}
};

class CacheFixture : public benchmark::Fixture {
  public:
    void SetUp(const benchmark::State&) override {
        std::string pattern =
            std::filesystem::temp_directory_path().string() + "/quenta-bench-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        folder_ = pattern;
        defaults_ = std::make_unique<linux_platform::DefaultsJsonFile>(
            folder_ + "/QuentaFinderExtension/defaults.json");
        // The cache as a successful check leaves it, with a release newer than any build.
        (void)defaults_->setDate(UpdateChecker::kNextCheckDateKey, clock_.now() + 24h);
        (void)defaults_->setString(UpdateChecker::kLatestVersionKey, "999.0");
        (void)defaults_->setString(UpdateChecker::kLatestPageURLKey,
                                   UpdateChecker::downloadPageURL());
        // A fresh instance, so the first read goes to the file as in a new process.
        defaults_ = std::make_unique<linux_platform::DefaultsJsonFile>(defaults_->path());
        checker_ = std::make_unique<UpdateChecker>(*defaults_, http_, queue_, clock_, bundle_);
    }
    void TearDown(const benchmark::State&) override {
        checker_.reset();
        defaults_.reset();
        std::filesystem::remove_all(folder_);
    }

  protected:
    std::string folder_;
    linux_platform::SystemClock clock_;
    linux_platform::ProjectBundle bundle_;
    RefusingHttpClient http_;
    DiscardingMainQueue queue_;
    std::unique_ptr<linux_platform::DefaultsJsonFile> defaults_;
    std::unique_ptr<UpdateChecker> checker_;
};

BENCHMARK_F(CacheFixture, AvailableUpdate)(benchmark::State& state) {
    for (auto _ : state) {
        auto update = checker_->availableUpdate();
        if (!update) {
            state.SkipWithError("no update found in the cache");
            break;
        }
        benchmark::DoNotOptimize(update);
    }
}

BENCHMARK_F(CacheFixture, CheckIfNeeded)(benchmark::State& state) {
    for (auto _ : state) {
        checker_->checkIfNeeded();
    }
}

// The worst case: another process replaced the file before every read, so each read parses it.
BENCHMARK_F(CacheFixture, AvailableUpdateAfterAnotherWriter)(benchmark::State& state) {
    linux_platform::DefaultsJsonFile other(defaults_->path());
    int counter = 0;
    for (auto _ : state) {
        state.PauseTiming();
        (void)other.setString("Unrelated", std::to_string(++counter));
        state.ResumeTiming();
        benchmark::DoNotOptimize(checker_->availableUpdate());
    }
}

}  // namespace

BENCHMARK_MAIN();
