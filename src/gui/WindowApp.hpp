#pragma once

#include <memory>

class QApplication;

namespace zd {
class MainForm;
class MainThread;
}

namespace zd::gui {

class MainWindow;
class QtMainThread;

// The program with its window: the Qt application, the main thread's work
// run by its event loop, and the administration window. Create it before
// StartServer so start-up messages are shown as dialogs.
class WindowApp {
public:
    WindowApp(int& argc, char** argv, MainThread& mainThread, MainForm& form);
    ~WindowApp();
    WindowApp(const WindowApp&) = delete;
    WindowApp& operator=(const WindowApp&) = delete;

    // Shows the window (or only the tray icon) and runs the event loop
    // until the program closes; the exit code.
    int Run();
    // Run, but save a PNG of each page into `folder` and close (see
    // MainWindow::SavePages).
    int RunForPictures(const std::string& folder);
    // Closes the server in the order of "Exit" and ends the loop (SIGTERM).
    void Close();

    // Whether a window can be shown: a display (X11 or Wayland) or a Qt
    // platform named in QT_QPA_PLATFORM.
    static bool DisplayAvailable() noexcept;

    MainWindow& Window() noexcept { return *window_; }

private:
    MainForm& form_;
    std::unique_ptr<QApplication> app_;
    std::unique_ptr<QtMainThread> mainThread_;
    std::unique_ptr<MainWindow> window_;
};

} // namespace zd::gui
