#pragma once

#include <string>

namespace zd {

// What the window and tray show of the server's state; the Qt layer binds to
// it, headless runs keep it for inspection. Main thread only.
struct WindowState {
    std::string Caption;          // "Vornelle ZO Davizi"
    std::string ApplicationTitle; // "ZO Davizi (n)"
    std::string TrayTip;          // "Vornelle ZO Davizi (n)"
    int TrayImage = 0;            // 1 while anyone is connected, else 0
    bool Visible = false;         // the window is shown
    bool UsersPageShown = false;  // the Users page (else the Options page)
    bool RestoreRequested = false; // a second start asked to bring the window forward
};

} // namespace zd
