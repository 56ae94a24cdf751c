#pragma once

// The installer view with every port it uses faked, for the tests of its commands and of its
// update row.
#include "core/app/content_view.hpp"
#include "fakes/fake_file_system.hpp"
#include "fakes/fixed_bundle.hpp"
#include "fakes/fixed_clock.hpp"
#include "fakes/manual_main_queue.hpp"
#include "fakes/memory_defaults.hpp"
#include "fakes/recording_alerts.hpp"
#include "fakes/recording_app_shell.hpp"
#include "fakes/recording_process_runner.hpp"
#include "fakes/recording_workspace.hpp"
#include "fakes/scripted_http_client.hpp"

#include <optional>
#include <string>

namespace quenta::testing {

struct ContentViewRig {
    // `version` is the running application's version, as its bundle reports it.
    explicit ContentViewRig(const std::string& version)
        : bundle{std::optional<std::string>(version)} {}

    FakeFileSystem files;
    FixedClock clock;
    ManualMainQueue queue{clock};
    RecordingProcessRunner processes;
    RecordingWorkspace workspace;
    RecordingAlerts alerts;
    RecordingAppShell shell;
    FixedBundle bundle;
    MemoryDefaults defaults;
    ScriptedHttpClient http{queue};
    UpdateChecker updates{defaults, http, queue, clock, bundle};
    ContentView view{{processes, files, workspace, alerts, bundle, queue, shell, updates},
                     macosInstallerTable()};
};

}  // namespace quenta::testing
