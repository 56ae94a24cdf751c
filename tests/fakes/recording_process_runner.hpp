#pragma once

#include "ports/process_runner.hpp"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace quenta::testing {

// Records every tool run; each tool answers the status given for it in `statuses`, -1 (could not
// be started) when it has none. `onRun`, when set, runs while the "child" runs.
class RecordingProcessRunner : public ProcessRunner {
  public:
    struct Run {
        std::string tool;
        std::vector<std::string> arguments;

        friend bool operator==(const Run&, const Run&) = default;
    };

    [[nodiscard]] int run(const std::string& executablePath,
                          const std::vector<std::string>& arguments) override {
        runs.push_back({executablePath, arguments});
        if (onRun) {
            onRun(runs.back());
        }
        const auto found = statuses.find(executablePath);
        return found == statuses.end() ? -1 : found->second;
    }

    std::vector<Run> runs;
    std::map<std::string, int> statuses;
    std::function<void(const Run&)> onRun;
};

}  // namespace quenta::testing
