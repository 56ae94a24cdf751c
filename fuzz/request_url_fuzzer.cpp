// Feeds arbitrary text through the request-URL reader, the writer and the dispatcher over fakes:
// nothing may crash, leak or trip a sanitizer, and written URLs must read back unchanged.
#include "core/requests/quenta_creator.hpp"
#include "core/shared/request_url.hpp"
#include "fakes/fake_file_system.hpp"
#include "fakes/fixed_clock.hpp"
#include "fakes/memory_pasteboard.hpp"
#include "fakes/recording_alerts.hpp"
#include "fakes/recording_workspace.hpp"
#include "fakes/sequential_uuid_source.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    if (const auto url = quenta::parseUrl(text); url && url->host) {
        if (const auto written = quenta::formatRequestUrl("create", url->queryItems)) {
            const auto reread = quenta::parseUrl(*written);
            if (!reread || reread->queryItems != url->queryItems) {
                std::abort();
            }
        }
    }

    quenta::testing::FakeFileSystem files;
    files.addDirectory("/home/ann/.local/state");
    files.addDirectory("/tmp");
    quenta::testing::FixedClock clock;
    quenta::testing::RecordingAlerts alerts;
    quenta::testing::RecordingWorkspace workspace;
    quenta::testing::SequentialUuidSource uuids;
    quenta::ActivityLog log(files, clock, "QuentaApp.log");
    quenta::testing::MemoryPasteboard pasteboard;
    quenta::QuentaCreator creator({files, alerts, workspace, uuids, log, pasteboard});
    creator.handle(text);
    return 0;
}
