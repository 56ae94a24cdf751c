#pragma once

#include "ports/alerts.hpp"

#include <functional>
#include <string>
#include <vector>

namespace quenta::testing {

// Records every alert; `onAlert`, when set, runs while the alert is "on screen".
class RecordingAlerts : public Alerts {
  public:
    void runModal(const AlertContent& alert) override {
        shown.push_back(alert);
        if (onAlert) {
            onAlert(alert);
        }
    }

    // Records the confirmation and answers `answer`.
    ConfirmationAnswer confirm(const ConfirmationContent& confirmation) override {
        confirmations.push_back(confirmation);
        return answer;
    }

    [[nodiscard]] std::vector<std::string> messages() const {
        std::vector<std::string> texts;
        for (const auto& alert : shown) {
            texts.push_back(alert.message);
        }
        return texts;
    }

    std::vector<AlertContent> shown;
    std::vector<ConfirmationContent> confirmations;
    ConfirmationAnswer answer = ConfirmationAnswer::cancelled;
    std::function<void(const AlertContent&)> onAlert;
};

}  // namespace quenta::testing
