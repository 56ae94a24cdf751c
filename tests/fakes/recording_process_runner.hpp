#pragma once

#include "ports/process_runner.hpp"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace quenta::testing {

// Records every tool run; each tool answers the status given for it in `statuses`, and could not
// be started (an Error) when it has none. `onRun`, when set, runs while the "child" runs.
class RecordingProcessRunner : public ProcessRunner {
  public:
    struct Run {
        std::string tool;
        std::vector<std::string> arguments;

        friend bool operator==(const Run&, const Run&) = default;
    };

    [[nodiscard]] Result<int> run(const std::string& executablePath,
                                  const std::vector<std::string>& arguments) override {
        runs.push_back({executablePath, arguments});
        if (onRun) {
            onRun(runs.back());
        }
        const auto found = statuses.find(executablePath);
        if (found == statuses.end()) {
            return Error{ErrorKind::notFound, executablePath + ": No such file or directory"};
        }
        return found->second;
    }

    std::vector<Run> runs;
    std::map<std::string, int> statuses;
    std::function<void(const Run&)> onRun;
};

}  // namespace quenta::testing
