// A GTK 3 file manager's questions to its built module (Nemo, Caja or Thunar; this program is
// built once per module), answered with warm caches through the test host that loads the module
// as the file manager does: the items for a folder's background (and Caja's toolbar) and for a
// selection of 1 and 100 items, rendered as the host's menu items and freed again, as on every
// selection change (target: under 1 ms each).
#include "hosts/gtk3_test_host.hpp"

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

// A private HOME whose update schedule lies ahead, so no check is started while measuring.
std::string makeHome() {
    std::string home = "/tmp/quenta-gtk3-bench-XXXXXX";
    if (::mkdtemp(home.data()) == nullptr) {
        return {};
    }
    std::filesystem::create_directories(home + "/.config/QuentaFinderExtension");
    std::filesystem::create_directories(home + "/runtime");
    std::filesystem::create_directories(home + "/folder");
    std::ofstream(home + "/.config/QuentaFinderExtension/defaults.json")
        << R"({"UpdateNextCheckDate": {"$date": 4102444800000}})";
    for (int i = 0; i < 100; ++i) {
        std::ofstream(home + "/folder/" + std::to_string(i)) << "x";
    }
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (home + "/runtime").c_str(), 1);
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "DISPLAY", "WAYLAND_DISPLAY"}) {
        ::unsetenv(name);
    }
    return home;
}

struct Fixture {
    std::string home = makeHome();
    std::unique_ptr<quenta::testing::Gtk3TestHost> host =
        quenta::testing::makeTestHost(QUENTA_MODULE);
    ~Fixture() { std::filesystem::remove_all(home); }
};

Fixture& fixture() {
    static Fixture shared;
    return shared;
}

template <typename Ask>
void measure(benchmark::State& state, const Ask& ask) {
    auto& f = fixture();
    if (!f.host->error().empty()) {
        state.SkipWithError(f.host->error().c_str());
        return;
    }
    f.host->freeItems(ask(f));  // warms the icon caches
    for (auto _ : state) {
        GList* items = ask(f);
        benchmark::DoNotOptimize(items);
        f.host->freeItems(items);
    }
}

void backgroundItems(benchmark::State& state) {
    measure(state, [](Fixture& f) { return f.host->backgroundItems(f.home + "/folder"); });
}
BENCHMARK(backgroundItems)->Unit(benchmark::kMicrosecond);

void toolbarItems(benchmark::State& state) {
    if (!fixture().host->traits().toolbar) {
        state.SkipWithError("this file manager has no toolbar items");
        return;
    }
    measure(state, [](Fixture& f) { return f.host->toolbarItems(f.home + "/folder"); });
}
BENCHMARK(toolbarItems)->Unit(benchmark::kMicrosecond);

void fileItems(benchmark::State& state) {
    std::vector<std::string> files;
    for (int i = 0; i < state.range(0); ++i) {
        files.push_back(fixture().home + "/folder/" + std::to_string(i));
    }
    measure(state, [&files](Fixture& f) { return f.host->fileItems(files); });
}
BENCHMARK(fileItems)->Arg(1)->Arg(100)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
