#pragma once

#include "gui/TrayIcon.hpp"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class QTabWidget;

namespace zd {
class MainForm;
}

namespace zd::gui {

class OptionsTab;
class PasswordDialog;
class UsersTab;

// The administration window: the Options and Users pages, "Hide", "Exit",
// "About" and "Help", and the tray icon. It realises the form's dialogs
// (message boxes, the password dialog, the category picker) and shows the
// form's state; the state itself stays in the page objects.
class MainWindow : public QWidget {
public:
    // How often the tray, the title and the connected-users list are
    // brought up to date.
    static constexpr int kRefreshMs = 250;

    explicit MainWindow(MainForm& form);
    ~MainWindow() override;

    // After StartServer: the window shown when "Visible at Startup" is
    // ticked (else only the tray icon), on the page the start chose.
    void ShowAtStart();

    // Saves a PNG of each page into the folder ("options.png" once a user
    // is connected or `wait` has passed; "users.png" with the first account
    // selected), then calls done. For the documentation's pictures.
    void SavePages(const QString& folder, int waitMs, std::function<void()> done);

    void miRestoreClick();          // tray "Restore", double-click, a second start
    void btHideClick();             // "Hide", Escape
    void btExitClick();             // "Exit" (asks while users are connected)
    void btAboutClick();
    void btHelpClick();

    // The help file: "VRNZODavizi.html" in the program folder, beside the
    // executable or in the installed data folder; empty when none exists.
    static QString HelpFile(const std::string& programFolder);

    OptionsTab& Options() noexcept { return *options_; }
    UsersTab& Users() noexcept { return *users_; }
    TrayIcon& Tray() noexcept { return tray_; }
    PasswordDialog& Password() noexcept { return *password_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void InstallDialogs();
    void Refresh();

    MainForm& form_;
    QTabWidget* tabs_;
    OptionsTab* options_;
    UsersTab* users_;
    PasswordDialog* password_;
    TrayIcon tray_;
    QTimer refresh_;
    bool exiting_ = false;
};

} // namespace zd::gui
