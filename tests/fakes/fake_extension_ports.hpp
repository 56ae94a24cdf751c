#pragma once

#include "ports/application_launcher.hpp"
#include "ports/file_manager_controller.hpp"
#include "ports/front_window_query.hpp"
#include "ports/icons.hpp"

#include <optional>
#include <string>
#include <vector>

namespace quenta::testing {

// A file manager whose answers the test sets; counts how often it was asked.
class FakeFileManagerController : public FileManagerController {
  public:
    [[nodiscard]] std::optional<std::string> targetedURL() const override {
        ++questions;
        return targeted;
    }
    [[nodiscard]] std::optional<std::vector<std::string>> selectedItemURLs() const override {
        ++questions;
        return selected;
    }
    [[nodiscard]] std::optional<std::string> placeAddress() const override { return address; }
    void setDirectoryURLs(const std::vector<std::string>& folders) override {
        observedFolders = folders;
    }

    std::optional<std::string> address;
    std::optional<std::string> targeted;
    std::optional<std::vector<std::string>> selected;
    std::vector<std::string> observedFolders;
    mutable int questions = 0;
};

class FakeFrontWindowQuery : public FrontWindowQuery {
  public:
    Result<std::string> run(std::string_view scriptSource) override {
        scripts.emplace_back(scriptSource);
        return answer;
    }
    Result<std::string> answer = Error{};
    std::vector<std::string> scripts;
};

// Records the URLs handed to applications; completes requests at once with `outcome`, or keeps
// the completions for the test to run.
class RecordingLauncher : public ApplicationLauncher {
  public:
    void openWithMainApplication(const std::string& url, Completion completion) override {
        sent.push_back(url);
        if (completeAtOnce) {
            completion(outcome);
        } else {
            pending.push_back(std::move(completion));
        }
    }
    void openInBrowser(const std::string& url) override { browsed.push_back(url); }

    std::vector<std::string> sent;
    std::vector<std::string> browsed;
    Status outcome;
    bool completeAtOnce = true;
    std::vector<Completion> pending;
};

// Icons named after what was asked; counts the questions so tests see the caches at work.
class CountingIcons : public Icons {
  public:
    [[nodiscard]] MenuImage iconForFileType(std::string_view fileExtension) override {
        ++fileTypeQuestions;
        return {"type-" + std::string(fileExtension), "", 32, 32};
    }
    [[nodiscard]] std::optional<MenuImage> symbolImage(
        std::string_view symbolName, std::string_view accessibilityDescription) override {
        ++symbolQuestions;
        if (symbolName == missingSymbol) {
            return std::nullopt;
        }
        return MenuImage{std::string(symbolName), std::string(accessibilityDescription), 20, 20};
    }

    int fileTypeQuestions = 0;
    int symbolQuestions = 0;
    std::string missingSymbol;
};

}  // namespace quenta::testing
