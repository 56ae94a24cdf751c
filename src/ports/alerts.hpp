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

// What a confirmation shows: the title, the question with what is asked, the button that does it
// and the one that cancels. Cancel is the default button, and Escape or closing answers it.
struct ConfirmationContent {
    std::string title;
    std::string message;
    std::string confirmButton;
    std::string cancelButton;

    friend bool operator==(const ConfirmationContent&, const ConfirmationContent&) = default;
};

// The person's answer to a confirmation; `unavailable` when no one can be asked (no display):
// nothing was shown.
enum class ConfirmationAnswer { confirmed, cancelled, unavailable };

// Modal alerts. `runModal` returns only once the person has dismissed the alert; alerts therefore
// come one after another. Main thread only.
class Alerts {
  public:
    virtual ~Alerts() = default;
    virtual void runModal(const AlertContent& alert) = 0;
    // Asks the person and returns their answer once given; the texts are shown as plain text.
    virtual ConfirmationAnswer confirm(const ConfirmationContent& confirmation) = 0;
};

}  // namespace quenta
