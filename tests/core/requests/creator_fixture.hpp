#pragma once

#include "core/requests/quenta_creator.hpp"
#include "core/shared/activity_log.hpp"
#include "fakes/fake_file_system.hpp"
#include "fakes/fixed_clock.hpp"
#include "fakes/memory_pasteboard.hpp"
#include "fakes/recording_alerts.hpp"
#include "fakes/recording_workspace.hpp"
#include "fakes/sequential_uuid_source.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quenta::testing {

// A QuentaCreator over fakes, with the log's messages readable without their timestamps.
class CreatorTest : public ::testing::Test {
  protected:
    [[nodiscard]] std::vector<std::string> logMessages() const {
        std::vector<std::string> messages;
        const auto* file = files.node(log.path());
        if (file == nullptr) {
            return messages;
        }
        // Each line is "[YYYY-MM-DD HH:MM:SS +0000] message\n"; messages never hold "\n[" here.
        const std::string& text = file->contents;
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find("\n[", start);
            end = end == std::string::npos ? text.size() - 1 : end;
            messages.push_back(text.substr(start + 28, end - start - 28));
            start = end + 1;
        }
        return messages;
    }

    FakeFileSystem files = [] {
        FakeFileSystem fs;
        fs.addDirectory("/home/ann/.local/state");
        return fs;
    }();
    FixedClock clock;
    RecordingAlerts alerts;
    RecordingWorkspace workspace;
    SequentialUuidSource uuids;
    ActivityLog log{files, clock, "QuentaApp.log"};
    MemoryPasteboard pasteboard;
    QuentaCreator creator{{files, alerts, workspace, uuids, log, pasteboard}};
};

}  // namespace quenta::testing
