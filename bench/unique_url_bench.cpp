// uniqueURL with the first name and " 2" to " 999" all taken, in a real folder on disk: the search
// tests 999 names and falls back to a UUID name.
#include "adapters/linux/posix/console_alerts.hpp"
#include "adapters/linux/posix/console_workspace.hpp"
#include "adapters/linux/posix/file_system_posix.hpp"
#include "adapters/linux/posix/pasteboard_store.hpp"
#include "adapters/linux/posix/random_uuid_source.hpp"
#include "adapters/linux/posix/system_clock.hpp"
#include "core/requests/quenta_creator.hpp"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

void uniqueUrlWithNineHundredNinetyNineTaken(benchmark::State& state) {
    std::string folder = "/tmp/quenta-bench-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr) {
        state.SkipWithError("mkdtemp failed");
        return;
    }
    std::filesystem::create_directory(folder + "/新建文件夹");
    for (int n = 2; n <= 999; ++n) {
        std::filesystem::create_directory(folder + "/新建文件夹 " + std::to_string(n));
    }
    quenta::linux_platform::PosixFileSystem files;
    quenta::linux_platform::SystemClock clock;
    quenta::linux_platform::RandomUuidSource uuids;
    quenta::linux_platform::ConsoleAlerts alerts(stderr);
    quenta::linux_platform::ConsoleWorkspace workspace(stdout);
    quenta::ActivityLog log(files, clock, "QuentaApp.log");
    // A store of its own that nothing writes, so the user's pasteboard is never touched.
    quenta::linux_platform::PasteboardStore pasteboard(folder + "/pasteboard");
    quenta::QuentaCreator creator({files, alerts, workspace, uuids, log, pasteboard});
    for (auto _ : state) {
        benchmark::DoNotOptimize(creator.uniqueURL("新建文件夹", std::nullopt, folder));
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(uniqueUrlWithNineHundredNinetyNineTaken)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
