// Building the extension's menu once the icon caches are warm, with the real pasteboard store and
// defaults file, as every right-click in the file manager does.
#include "adapters/linux/posix/defaults_json_file.hpp"
#include "adapters/linux/posix/desktop_folder_query.hpp"
#include "adapters/linux/posix/file_system_posix.hpp"
#include "adapters/linux/posix/freedesktop_icons.hpp"
#include "adapters/linux/posix/main_app_launcher.hpp"
#include "adapters/linux/posix/pasteboard_store.hpp"
#include "adapters/linux/posix/system_clock.hpp"
#include "core/extension/finder_sync.hpp"
#include "ports/main_queue.hpp"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class NoController : public quenta::FileManagerController {
  public:
    [[nodiscard]] std::optional<std::string> targetedURL() const override { return "/tmp"; }
    [[nodiscard]] std::optional<std::vector<std::string>> selectedItemURLs() const override {
        return std::vector<std::string>{"/tmp/a", "/tmp/b"};
    }
    void setDirectoryURLs(const std::vector<std::string>&) override {}
};

// The check is never due while the benchmark runs: the schedule lies a day ahead.
class IdleHttp : public quenta::HttpClient {
  public:
    void get(const std::string&, std::chrono::milliseconds, Completion) override {}
};
class IdleQueue : public quenta::MainQueue {
  public:
    void async(Task) override {}
    void asyncAfter(std::chrono::milliseconds, Task) override {}
};
class Version : public quenta::Bundle {
  public:
    [[nodiscard]] std::optional<std::string> shortVersionString() const override { return "0.1.0"; }
};

void buildMenuWithWarmCaches(benchmark::State& state) {
    std::string home = "/tmp/quenta-menu-bench-XXXXXX";
    if (::mkdtemp(home.data()) == nullptr) {
        state.SkipWithError("mkdtemp failed");
        return;
    }
    quenta::linux_platform::PosixFileSystem files;
    quenta::linux_platform::SystemClock clock;
    quenta::ActivityLog log(files, clock, "QuentaFinderExtension.log");
    NoController controller;
    quenta::linux_platform::DesktopFolderQuery frontWindow;
    quenta::linux_platform::PasteboardStore pasteboard(home + "/pasteboard");
    IdleQueue queue;
    quenta::linux_platform::MainAppLauncher launcher("/bin/true", queue);
    quenta::linux_platform::FreedesktopIcons icons;
    quenta::linux_platform::DefaultsJsonFile defaults(home + "/defaults.json");
    (void)defaults.setDate(quenta::UpdateChecker::kNextCheckDateKey,
                           std::chrono::system_clock::now() + std::chrono::hours(24));
    (void)defaults.setString(quenta::UpdateChecker::kLatestVersionKey, "2.0");
    (void)defaults.setString(quenta::UpdateChecker::kLatestPageURLKey, "https://quentaapp.org/");
    IdleHttp http;
    Version bundle;
    quenta::UpdateChecker updates(defaults, http, queue, clock, bundle);
    quenta::FinderSync finder({files, controller, frontWindow, pasteboard, launcher, icons, log},
                              updates);
    (void)pasteboard.setString("/tmp/a", quenta::FinderSync::cutPathsPasteboardType);
    benchmark::DoNotOptimize(finder.menu());
    for (auto _ : state) {
        benchmark::DoNotOptimize(finder.menu());
    }
    std::filesystem::remove_all(home);
}
BENCHMARK(buildMenuWithWarmCaches)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
