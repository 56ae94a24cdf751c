// Nautilus's two questions to the module, answered with warm caches, through the test host that
// loads the built module as Nautilus does: the items for a folder's background and for a
// selection, rendered as NautilusMenuItems and freed again, as on every selection change.
#include "hosts/nautilus_test_host.hpp"

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using quenta::testing::NautilusTestHost;

// A private HOME whose update schedule lies ahead, so no check is started while measuring.
std::string makeHome() {
    std::string home = "/tmp/quenta-nautilus-bench-XXXXXX";
    if (::mkdtemp(home.data()) == nullptr) {
        return {};
    }
    std::filesystem::create_directories(home + "/.config/QuentaFinderExtension");
    std::filesystem::create_directories(home + "/runtime");
    std::filesystem::create_directories(home + "/folder/sub");
    std::ofstream(home + "/.config/QuentaFinderExtension/defaults.json")
        << R"({"UpdateNextCheckDate": {"$date": 4102444800000}})";
    for (const char* name : {"a", "b", "c"}) {
        std::ofstream(home + "/folder/" + name) << "x";
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
    NautilusTestHost host{QUENTA_NAUTILUS_MODULE};
    ~Fixture() { std::filesystem::remove_all(home); }
};

Fixture& fixture() {
    static Fixture shared;
    return shared;
}

void backgroundItems(benchmark::State& state) {
    auto& f = fixture();
    if (!f.host.loaded()) {
        state.SkipWithError(f.host.error().c_str());
        return;
    }
    NautilusFileInfo* folder = quenta::testing::newFileInfo(f.home + "/folder", true);
    quenta::testing::freeItems(f.host.backgroundItems(folder));  // warms the icon caches
    for (auto _ : state) {
        GList* items = f.host.backgroundItems(folder);
        benchmark::DoNotOptimize(items);
        quenta::testing::freeItems(items);
    }
    quenta::testing::unrefFileInfo(folder);
}
BENCHMARK(backgroundItems)->Unit(benchmark::kMicrosecond);

void fileItems(benchmark::State& state) {
    auto& f = fixture();
    if (!f.host.loaded()) {
        state.SkipWithError(f.host.error().c_str());
        return;
    }
    std::vector<NautilusFileInfo*> files;
    for (const char* name : {"a", "b", "c", "sub"}) {
        files.push_back(quenta::testing::newFileInfo(f.home + "/folder/" + name, false));
    }
    files.resize(static_cast<std::size_t>(state.range(0)));
    quenta::testing::freeItems(f.host.fileItems(files));
    for (auto _ : state) {
        GList* items = f.host.fileItems(files);
        benchmark::DoNotOptimize(items);
        quenta::testing::freeItems(items);
    }
    for (NautilusFileInfo* file : files) {
        quenta::testing::unrefFileInfo(file);
    }
}
BENCHMARK(fileItems)->Arg(1)->Arg(3)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
