// Dolphin's question to the built plug-in, answered with warm caches: actions() for a folder's
// background and for a selection of 1 and 100 items, the plug-in loaded as Dolphin loads it (Qt's
// plug-in loader, KF5's factory) on the offscreen platform. Each answer renders the menu as new
// QActions and QMenus and lets go of the oldest menu the plug-in keeps, as on every right-click
// (target: under 1 ms each).
#include <KIO/UDSEntry>
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <KAbstractFileItemActionPlugin>
#include <KFileItem>
#include <KFileItemListProperties>
#include <KPluginFactory>
#include <QAction>
#include <QApplication>
#include <QPluginLoader>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

// A private HOME whose update schedule lies ahead, so no check is started while measuring.
std::string makeHome() {
    std::string home = "/tmp/quenta-dolphin-bench-XXXXXX";
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
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "DISPLAY", "WAYLAND_DISPLAY"}) {
        ::unsetenv(name);
    }
    return home;
}

struct Fixture {
    std::string home = makeHome();
    int argc = 1;
    char name[32] = "dolphin_plugin_bench";
    char* argv[2] = {name, nullptr};
    QApplication application{argc, argv};
    QPluginLoader loader{QStringLiteral(QUENTA_DOLPHIN_PLUGIN)};
    KAbstractFileItemActionPlugin* plugin = nullptr;

    Fixture() {
        if (auto* factory = qobject_cast<KPluginFactory*>(loader.instance())) {
            plugin = factory->create<KAbstractFileItemActionPlugin>();
        }
    }
    ~Fixture() {
        delete plugin;
        std::filesystem::remove_all(home);
    }
};

Fixture& fixture() {
    static auto* shared = new Fixture;  // lives to the end: Qt's objects go with the process
    return *shared;
}

void measure(benchmark::State& state, const KFileItemList& items) {
    auto& f = fixture();
    if (f.plugin == nullptr) {
        state.SkipWithError(f.loader.errorString().toStdString().c_str());
        return;
    }
    const KFileItemListProperties properties(items);
    benchmark::DoNotOptimize(f.plugin->actions(properties, nullptr));  // warms the icon caches
    for (auto _ : state) {
        benchmark::DoNotOptimize(f.plugin->actions(properties, nullptr));
    }
}

void backgroundActions(benchmark::State& state) {
    KIO::UDSEntry entry;
    entry.fastInsert(KIO::UDSEntry::UDS_NAME, QStringLiteral("."));
    entry.fastInsert(KIO::UDSEntry::UDS_FILE_TYPE, S_IFDIR);
    const QUrl folder = QUrl::fromLocalFile(QString::fromStdString(fixture().home + "/folder"));
    measure(state, {KFileItem(entry, folder, false, true)});
}
BENCHMARK(backgroundActions)->Unit(benchmark::kMicrosecond);

void selectionActions(benchmark::State& state) {
    KFileItemList items;
    for (int i = 0; i < state.range(0); ++i) {
        items.append(KFileItem(QUrl::fromLocalFile(
            QString::fromStdString(fixture().home + "/folder/" + std::to_string(i)))));
    }
    measure(state, items);
}
BENCHMARK(selectionActions)->Arg(1)->Arg(100)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
