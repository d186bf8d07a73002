#include "gui/MainWindow.hpp"

#include "common/Translate.hpp"
#include "gui/AboutDialog.hpp"
#include "gui/CategoryPickerDialog.hpp"
#include "gui/MessageBoxes.hpp"
#include "gui/OptionsTab.hpp"
#include "gui/PasswordDialog.hpp"
#include "gui/Text.hpp"
#include "gui/UsersTab.hpp"
#include "server/Folders.hpp"
#include "server/MainForm.hpp"
#include "server/SettingsFile.hpp"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace zd::gui {

namespace {

QPushButton* Button(const char* caption, const char* name)
{
    auto* button = new QPushButton(Ui(caption));
    button->setObjectName(name);
    return button;
}

} // namespace

MainWindow::MainWindow(MainForm& form)
    : form_(form), tabs_(new QTabWidget), options_(new OptionsTab(form)), users_(new UsersTab(form)),
      password_(new PasswordDialog(this)),
      tray_([this] { miRestoreClick(); }, [this] { btExitClick(); })
{
    setObjectName("MainForm");
    setWindowTitle(FromAnsi(form_.Window().Caption));
    setWindowIcon(tray_.Image(0));
    tabs_->setObjectName("PageControl");
    tabs_->addTab(options_, Ui("Options"));
    tabs_->addTab(users_, Ui("Users"));
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        form_.Window().UsersPageShown = index == 1;
        form_.UsersScreen().PageControlChange(index == 1);
    });

    auto* hide = Button("Hide", "btHide");
    auto* exit = Button("Exit", "btExit");
    auto* about = Button("About", "btAbout");
    auto* help = Button("Help", "btHelp");
    connect(hide, &QPushButton::clicked, this, &MainWindow::btHideClick);
    connect(exit, &QPushButton::clicked, this, &MainWindow::btExitClick);
    connect(about, &QPushButton::clicked, this, &MainWindow::btAboutClick);
    connect(help, &QPushButton::clicked, this, &MainWindow::btHelpClick);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(about);
    buttons->addWidget(help);
    buttons->addStretch();
    buttons->addWidget(hide);
    buttons->addWidget(exit);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_, 1);
    layout->addLayout(buttons);
    resize(900, 640);

    InstallDialogs();
    connect(&refresh_, &QTimer::timeout, this, &MainWindow::Refresh);
    refresh_.start(kRefreshMs);
}

MainWindow::~MainWindow()
{
    MainForm::Hooks& hooks = form_.GetHooks();
    hooks.ShowMessage = nullptr;
    hooks.Confirm = nullptr;
    hooks.AskPassword = nullptr;
    hooks.PickCategories = nullptr;
    hooks.Beep = nullptr;
    hooks.Restore = nullptr;
    form_.Log().Echo = nullptr;
    form_.UsersScreen().SetObserver(nullptr);
}

void MainWindow::InstallDialogs()
{
    MainForm::Hooks& hooks = form_.GetHooks();
    hooks.ShowMessage = [this](const MessageDialog& dialog) { ExecMessageBox(dialog, isVisible() ? this : nullptr); };
    hooks.Confirm = [this](const MessageDialog& dialog) { return ExecMessageBox(dialog, isVisible() ? this : nullptr); };
    hooks.AskPassword = [this](const std::string& caption, const std::string& prompt) {
        return password_->Ask(caption, prompt);
    };
    hooks.PickCategories = [this](CategoryPicker& picker) { return users_->Picker().Pick(picker); };
    hooks.Beep = [] { QApplication::beep(); };
    hooks.Restore = [this] { miRestoreClick(); };
    form_.Log().Echo = [this](const std::string& line) { options_->AppendLogLine(FromAnsi(line)); };
}

void MainWindow::ShowAtStart()
{
    tabs_->setCurrentIndex(form_.Window().UsersPageShown ? 1 : 0);
    Refresh();
    if (form_.Window().Visible)
        show();
}

void MainWindow::Refresh()
{
    const WindowState& state = form_.Window();
    tray_.Show(state.TrayImage, FromAnsi(state.TrayTip));
    setWindowIcon(tray_.Image(state.TrayImage));
    QApplication::setApplicationDisplayName(FromAnsi(state.ApplicationTitle));
    options_->Refresh();
}

void MainWindow::SavePages(const QString& folder, int waitMs, std::function<void()> done)
{
    const auto deadline = QDateTime::currentMSecsSinceEpoch() + waitMs;
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [this, poll, folder, deadline, done] {
        if (form_.Connected().Count() == 0 && QDateTime::currentMSecsSinceEpoch() < deadline)
            return;
        poll->deleteLater();
        Refresh();
        tabs_->setCurrentIndex(0);
        grab().save(folder + "/options.png");
        tabs_->setCurrentIndex(1);
        if (!form_.Users().Empty())
            form_.UsersScreen().SelectUser(0);
        grab().save(folder + "/users.png");
        done();
    });
    poll->start(100);
}

void MainWindow::miRestoreClick()
{
    if (!AskMasterPassword(form_.Page().MasterPassword(), form_.GetHooks().AskPassword))
        return;
    form_.Window().Visible = true;
    showNormal();
    raise();
    activateWindow();
}

void MainWindow::btHideClick()
{
    hide();
}

void MainWindow::btExitClick()
{
    if (form_.OpenConnectionCount() > 0) {
        const MessageDialog question{form_.ProgramTitle(), Tr("Users are currently connected."),
                                     Tr("Are you sure you wish to terminate the ZO Davizi?"),
                                     MessageDialog::Kind::Warning, MessageDialog::Buttons::YesNo};
        if (!form_.GetHooks().Confirm || !form_.GetHooks().Confirm(question))
            return;
    }
    exiting_ = true;
    hide();
    close();
}

void MainWindow::btAboutClick()
{
    AboutDialog about(form_.LocalAddress(), this);
    about.exec();
}

QString MainWindow::HelpFile(const std::string& programFolder)
{
    const QString name = "VRNZODavizi.html";
    const QString beside = QString::fromStdString(ExecutableFolder());
    for (const QString& folder : {QString::fromStdString(programFolder), beside, beside + "../share/zodavizi/"}) {
        if (!folder.isEmpty() && QFileInfo::exists(folder + name))
            return QFileInfo(folder + name).absoluteFilePath();
    }
    return {};
}

void MainWindow::btHelpClick()
{
    const QString file = HelpFile(form_.ProgramFolder());
    if (!file.isEmpty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Closing the visible window only hides it; the server goes on in the
    // tray. A hidden window (Exit) may close, which ends the program.
    if (isVisible() && !exiting_) {
        event->ignore();
        btHideClick();
        return;
    }
    event->accept();
    refresh_.stop();
    form_.FormClose();
    tray_.Icon().hide();
    QApplication::quit();
}

void MainWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (event->spontaneous())
        return;
    form_.Window().Visible = false;
    SaveSettings(form_, false);
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        btHideClick();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace zd::gui
