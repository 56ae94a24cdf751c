#pragma once

// The session-bus names between the application and the extension modules loaded into file
// managers whose org.freedesktop.FileManager1.ShowItems opens a new window for every item (Nemo,
// Caja, Thunar): each such module owns kWindowRevealBusNamePrefix + "p" + its process ID and
// serves, at kWindowRevealObjectPath, the interface kWindowRevealInterface with one method,
// ShowItems(as paths) -> (b shown): true when a window of that file manager where a command was
// given shows the folder holding the items (the window is brought to the front and the file
// manager's own folder watch shows them), false to let the caller ask the file manager.
namespace quenta::linux_platform {

inline constexpr const char* kWindowRevealBusNamePrefix = "com.local.QuentaApp.Extension.";
inline constexpr const char* kWindowRevealObjectPath = "/com/local/QuentaApp/Extension";
inline constexpr const char* kWindowRevealInterface = "com.local.QuentaApp.Extension";

}  // namespace quenta::linux_platform
