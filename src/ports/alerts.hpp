#pragma once

#include <string>

namespace quenta {

// What a modal alert shows: the title line, the informative message and the one button.
struct AlertContent {
    std::string title;
    std::string message;
    std::string button;

    friend bool operator==(const AlertContent&, const AlertContent&) = default;
};

// Modal alerts. `runModal` returns only once the person has dismissed the alert; alerts therefore
// come one after another. Main thread only.
class Alerts {
  public:
    virtual ~Alerts() = default;
    virtual void runModal(const AlertContent& alert) = 0;
};

}  // namespace quenta
