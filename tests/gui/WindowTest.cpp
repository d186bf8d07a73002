#include "WindowFixture.hpp"

#include "../e2e/RawClient.hpp"
#include "gui/OptionsTab.hpp"
#include "gui/UsersTab.hpp"
#include "protocol/CommandSession.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <future>

namespace zd::test {
namespace {

TEST_F(WindowFixture, EveryControlExistsWithItsCaptionAndLimits)
{
    EXPECT_EQ(window_->windowTitle(), "Vornelle ZO Davizi");
    const std::vector<std::pair<const char*, const char*>> captions{
        {"cbEnabled", "Enable Server"}, {"cbVisible", "Visible at Startup"},
        {"cbUPnP", "UPnP Port Forwarding"}, {"cbAutoLoad", "Auto Load at Windows Logon"},
        {"cbUserEnabled", "User enabled"}, {"cbVTMarkers", "Record at VT Markers Only"},
        {"cbMoveTracks", "Song Movement"}, {"cbFullInsert", "Full Insertion and Editing"},
        {"cbSpotDelete", "Spot Deletion"}, {"cbSeparation", "Enforce Separation Rules"},
        {"cbTimingTool", "Timing Tool"}, {"cbLocalTracks", "Local Track Insertions"},
        {"cbDSP", "Recorder DSP Configuration"}, {"cbVTLimit", "Limit VT Length"}};
    for (const auto& [name, caption] : captions) {
        if (auto* box = Find<QCheckBox>(name)) {
            EXPECT_EQ(box->text(), caption) << name;
        }
    }
    const std::vector<std::pair<const char*, const char*>> buttons{
        {"btHide", "Hide"}, {"btExit", "Exit"}, {"btAbout", "About"}, {"btHelp", "Help"},
        {"btSaveLog", "Save Log"}, {"btClearLog", "Clear Log"}, {"btAddUser", "Add"},
        {"btDeleteUser", "Delete"}, {"btSelectAll", "Select All"}, {"btDeselectAll", "Deselect All"},
        {"btCatSel", "..."}};
    for (const auto& [name, caption] : buttons) {
        if (auto* button = Find<QPushButton>(name)) {
            EXPECT_EQ(button->text(), caption) << name;
        }
    }
    const std::vector<std::pair<const char*, int>> lengths{
        {"VTPort", 5}, {"MasterPassword", 15}, {"NewUser", 15}, {"Login", 15},
        {"Password", 15}, {"UserName", 31}, {"RestrictIP", 15}};
    for (const auto& [name, length] : lengths) {
        auto* edit = window_->Users().findChild<QLineEdit*>(name);
        if (edit == nullptr)
            edit = Find<QLineEdit>(name);
        if (edit != nullptr) {
            EXPECT_EQ(edit->maxLength(), length) << name;
        }
    }
    EXPECT_EQ(Find<QLineEdit>("MasterPassword")->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(Find<QLineEdit>("Categories")->isReadOnly());
    auto* log = Find<QSpinBox>("MaxLogSize");
    EXPECT_EQ(std::make_tuple(log->minimum(), log->maximum(), log->singleStep()), std::make_tuple(100, 9999, 100));
    auto* limit = Find<QSpinBox>("VTLimit");
    EXPECT_EQ(std::make_tuple(limit->minimum(), limit->maximum(), limit->singleStep()), std::make_tuple(0, 180, 15));
    auto* bitrate = Find<QComboBox>("Bitrate");
    ASSERT_EQ(bitrate->count(), 4);
    EXPECT_EQ(bitrate->itemText(0), "48k mono");
    EXPECT_EQ(bitrate->itemText(3), "128k stereo");
    EXPECT_EQ(bitrate->currentIndex(), 1);
    EXPECT_EQ(Find<QGroupBox>("pHours")->title(), "Hours");
    for (const char* day : {"Monday", "Sunday"})
        EXPECT_EQ(Find<QCheckBox>(day)->text(), day);
    EXPECT_EQ(window_->findChildren<QCheckBox*>(QRegularExpression("^p[A-Z][a-z]+day_\\d+$")).size(), 168);
    EXPECT_NE(Find<QCheckBox>("pTuesday_23")->toolTip(), "");
}

TEST_F(WindowFixture, EditsReachThePageObjects)
{
    form_->Page().SetLoading(false);
    auto* port = Find<QLineEdit>("VTPort");
    port->selectAll();
    QTest::keyClicks(port, "24x24"); // the key filter drops the letter
    EXPECT_EQ(form_->Page().PortText(), "2424");
    Find<QCheckBox>("cbUPnP")->click();
    EXPECT_FALSE(form_->Page().UPnPEnabled());
    EXPECT_TRUE(form_->Page().SettingsChanged());

    QTest::keyClicks(Find<QLineEdit>("NewUser"), "anna");
    EXPECT_TRUE(Find<QPushButton>("btAddUser")->isEnabled());
    Find<QPushButton>("btAddUser")->click();
    const auto anna = form_->FindUser("anna");
    ASSERT_TRUE(anna);
    EXPECT_EQ(Find<QListWidget>("UserList")->currentItem()->text(), "anna");
    EXPECT_TRUE(Find<QGroupBox>("gbUserDetails")->isEnabled());
    EXPECT_EQ(Find<QLineEdit>("NewUser")->text(), "");

    QTest::keyClicks(window_->Users().findChild<QLineEdit*>("Password"), "s3cret");
    Find<QCheckBox>("Tuesday")->click();
    EXPECT_FALSE(Find<QCheckBox>("pTuesday_5")->isEnabled());
    EXPECT_TRUE(Find<QCheckBox>("pTuesday_5")->isChecked()); // the tick stays
    EXPECT_FALSE(Find<QCheckBox>("cbMoveTracks")->isEnabled());
    Find<QCheckBox>("cbFullInsert")->click();
    EXPECT_TRUE(Find<QCheckBox>("cbMoveTracks")->isEnabled());
    form_->CommitShownUser();
    EXPECT_EQ(anna->Password, "s3cret");
    EXPECT_EQ(anna->DayAllowed[1], 0);
    EXPECT_EQ(anna->FullInsert, 1);

    Find<QSpinBox>("VTLimit")->setValue(45);
    EXPECT_EQ(form_->Page().VTLimit(), 45);
}

TEST_F(WindowFixture, TrayMenuActionsRunTheHandlers)
{
    form_->Page().SetMasterPassword("pw");
    std::vector<std::string> entries{"wrong", "pw"};
    form_->GetHooks().AskPassword = [&](const std::string&, const std::string&) -> std::optional<std::string> {
        if (entries.empty())
            return std::nullopt;
        std::string entry = entries.front();
        entries.erase(entries.begin());
        return entry;
    };
    QMenu& menu = window_->Tray().Menu();
    QAction* restore = menu.findChild<QAction*>("miRestore");
    QAction* exit = menu.findChild<QAction*>("miExit");
    ASSERT_TRUE(restore && exit);
    EXPECT_EQ(restore->text(), "Restore");
    EXPECT_EQ(exit->text(), "Exit");
    EXPECT_EQ(menu.actions().size(), 3); // with the separator
    EXPECT_FALSE(window_->isVisible());
    restore->trigger(); // wrong, then right
    EXPECT_TRUE(entries.empty());
    EXPECT_TRUE(window_->isVisible());

    Start();
    exit->trigger(); // nobody connected: no question, the server closes
    EXPECT_FALSE(window_->isVisible());
    EXPECT_FALSE(form_->Listening());
}

TEST_F(WindowFixture, ASecondStartShowsTheWindowHiddenAtStart)
{
    form_->Window().Visible = false; // "Visible at Startup" off: the tray icon only
    window_->ShowAtStart();
    EXPECT_FALSE(window_->isVisible());
    ASSERT_TRUE(form_->GetHooks().Restore);
    form_->GetHooks().Restore(); // what the periodic check runs for a second start
    EXPECT_TRUE(window_->isVisible());
}

TEST_F(WindowFixture, ClosingTheVisibleWindowHidesItAndSaves)
{
    Start();
    window_->show();
    form_->Page().SetVTLimit(30);
    window_->close();
    EXPECT_FALSE(window_->isVisible());
    EXPECT_TRUE(form_->Listening()); // the server goes on in the tray
    EXPECT_TRUE(std::filesystem::exists(form_->DataFolder() + "ZODavizi.dat"));
    EXPECT_FALSE(form_->Page().SettingsChanged());
}

TEST_F(WindowFixture, ExitAsksWhileUsersAreConnected)
{
    InstallCommandSession(*form_);
    Start();
    form_->Users().Add(NewUser("anna"));
    form_->FindUser("anna")->Password = "pw";
    std::vector<MessageDialog> asked;
    form_->GetHooks().Confirm = [&](const MessageDialog& dialog) { asked.push_back(dialog); return false; };
    auto login = std::async(std::launch::async, [port = form_->BoundPort()] {
        auto client = std::make_unique<e2e::RawClient>(port);
        const std::string reply = client->Login("anna", "pw");
        return std::make_pair(reply, std::move(client));
    });
    while (login.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
        QApplication::processEvents();
    auto [reply, client] = login.get();
    ASSERT_EQ(reply, "OK");
    window_->show();
    window_->btExitClick();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].Text, "Users are currently connected.");
    EXPECT_EQ(asked[0].Detail, "Are you sure you wish to terminate the ZO Davizi?");
    EXPECT_EQ(asked[0].Choice, MessageDialog::Buttons::YesNo);
    EXPECT_TRUE(window_->isVisible()); // "No" keeps everything running
    EXPECT_TRUE(form_->Listening());
}

TEST_F(WindowFixture, ConnectionsAreServedWhileAModalDialogIsOpen)
{
    // The real message box: a client's commands need the main thread while
    // the operator looks at a confirmation.
    window_->Options(); // the window installs the Qt dialogs
    InstallCommandSession(*form_);
    Start();
    form_->Users().Add(NewUser("anna"));
    form_->FindUser("anna")->Password = "pw";
    std::future<std::string> login;
    bool answeredWhileOpen = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        if (!login.valid()) {
            login = std::async(std::launch::async, [port = form_->BoundPort()] {
                e2e::RawClient client(port);
                return client.Login("anna", "pw");
            });
        } else if (login.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
            answeredWhileOpen = true;
            static_cast<QDialog*>(modal)->reject();
        }
    });
    watch.start(10);
    QTimer::singleShot(10000, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            static_cast<QDialog*>(modal)->reject();
    });
    const bool confirmed = form_->GetHooks().Confirm(
        {"Confirm Deletion", "Are you sure?", "", MessageDialog::Kind::Confirmation, MessageDialog::Buttons::OkCancel});
    EXPECT_FALSE(confirmed);
    EXPECT_TRUE(answeredWhileOpen);
    ASSERT_TRUE(login.valid());
    EXPECT_EQ(login.get(), "OK");
}

TEST_F(WindowFixture, HelpPageIsShippedBesideTheProgram)
{
    const QString help = gui::MainWindow::HelpFile(ZD_BINARY_DIR "/src/");
    ASSERT_FALSE(help.isEmpty());
    QFile file(help);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains("The Options page") && text.contains("The Users page"));
    EXPECT_TRUE(gui::MainWindow::HelpFile("/nonexistent/").isEmpty() || QFileInfo(help).exists());
}

} // namespace
} // namespace zd::test
