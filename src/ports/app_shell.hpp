#pragma once

namespace quenta {

// One window of the application. Main thread only.
class AppWindow {
  public:
    virtual ~AppWindow() = default;

    // Shows the window in front of the application's others and gives it the keyboard focus.
    virtual void makeKeyAndOrderFront() = 0;
    // Hides the window without closing or destroying it; it can be shown again as it was.
    virtual void orderOut() = 0;
};

// The application object as the logic sees it: bringing the application forward and hiding it.
// Windows are created by the composition root and handed to the logic as AppWindow objects.
// Main thread only.
class AppShell {
  public:
    virtual ~AppShell() = default;

    // Brings the application to the front, even while another application is active.
    virtual void activateIgnoringOtherApps() = 0;
    // Hides the window that has the keyboard focus, when one of the application's windows has it.
    virtual void orderOutKeyWindow() = 0;
    // Hides every window of the application; the application keeps running.
    virtual void hide() = 0;
};

}  // namespace quenta
