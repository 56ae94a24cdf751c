#pragma once

#include "ports/app_shell.hpp"

#include <memory>
#include <string>
#include <vector>

namespace quenta::testing {

// Records, in one list, what the logic did to the application and its windows: "activate",
// "orderOutKeyWindow", "hide", and "window N: front" / "window N: out" for the Nth window made by
// `makeWindow`.
class RecordingAppShell : public AppShell {
  public:
    class Window : public AppWindow {
      public:
        Window(RecordingAppShell& shell, int number) : shell_(shell), number_(number) {}
        void makeKeyAndOrderFront() override {
            visible = true;
            shell_.events.push_back("window " + std::to_string(number_) + ": front");
        }
        void orderOut() override {
            visible = false;
            shell_.events.push_back("window " + std::to_string(number_) + ": out");
        }
        bool visible = false;

      private:
        RecordingAppShell& shell_;
        int number_;
    };

    void activateIgnoringOtherApps() override { events.emplace_back("activate"); }
    void orderOutKeyWindow() override { events.emplace_back("orderOutKeyWindow"); }
    void hide() override { events.emplace_back("hide"); }

    std::unique_ptr<AppWindow> makeWindow() {
        ++windowsMade;
        events.push_back("window " + std::to_string(windowsMade) + ": made");
        return std::make_unique<Window>(*this, windowsMade);
    }

    std::vector<std::string> events;
    int windowsMade = 0;
};

}  // namespace quenta::testing
