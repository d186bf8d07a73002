#include "gui/WindowApp.hpp"

#include "gui/MainWindow.hpp"
#include "gui/QtMainThread.hpp"
#include "gui/Text.hpp"
#include "server/MainForm.hpp"

#include <QApplication>

#include <cstdlib>

namespace zd::gui {

WindowApp::WindowApp(int& argc, char** argv, MainThread& mainThread, MainForm& form)
    : form_(form), app_(std::make_unique<QApplication>(argc, argv)),
      mainThread_(std::make_unique<QtMainThread>(mainThread))
{
    QApplication::setApplicationName(Ui("ZO Davizi"));
    // The tray keeps the program alive while the window is hidden.
    QApplication::setQuitOnLastWindowClosed(false);
    window_ = std::make_unique<MainWindow>(form);
}

WindowApp::~WindowApp()
{
    window_.reset();
    mainThread_.reset();
}

int WindowApp::Run()
{
    window_->ShowAtStart();
    return QApplication::exec();
}

int WindowApp::RunForPictures(const std::string& folder)
{
    constexpr int kWaitForAUserMs = 15000;
    window_->ShowAtStart();
    window_->show();
    window_->SavePages(QString::fromStdString(folder), kWaitForAUserMs, [this] { Close(); });
    return QApplication::exec();
}

void WindowApp::Close()
{
    form_.FormClose();
    QApplication::quit();
}

bool WindowApp::DisplayAvailable() noexcept
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != 0)
            return true;
    }
    return false;
}

} // namespace zd::gui
