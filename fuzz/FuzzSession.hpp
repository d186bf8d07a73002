#pragma once

// The server's command loop on one connection, fed through a socket pair:
// a copy of the demo installation in the process's folder, the main window
// object set up as at start-up (without the instance lock and the
// listener), and an exchange that sends the input, reads every reply and
// runs the loop until the connection ends. The fuzzing thread is the main
// thread, so main-thread jobs run at once.

#include "FuzzFile.hpp"
#include "audio/NativePath.hpp"
#include "net/Connection.hpp"
#include "protocol/CommandSession.hpp"
#include "scheduler/LibraryDatabase.hpp"
#include "scheduler/SchedulerSettings.hpp"
#include "server/MainForm.hpp"
#include "server/SettingsFile.hpp"
#include "server/TContextData.hpp"
#include "server/TUser.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <exception>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <thread>

namespace zd::fuzz {

class SessionFixture {
public:
    SessionFixture()
    {
        namespace fs = std::filesystem;
        const fs::path prefix = FuzzFolder() / "demo";
        fs::copy(fs::path(ZD_SOURCE_DIR) / "demo", prefix, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        const fs::path root = prefix / "drive_c" / "Cadmora";
        WriteLibrary(root / "Data");
        TUser account;
        account.Login = "demo";
        account.Password = "demo";
        if (!StoreAccount((root / "Data").string() + "/", account))
            throw std::runtime_error("cannot write the demo account");

        StartOptions options;
        options.ProgramFolder = (root / "ZODavizi").string() + "/";
        options.Headless = true;
        form_ = std::make_unique<MainForm>(main_, options);
        SetInstallationRoot(form_->RootFolder());
        SetSchedulerDataFolder(form_->DataFolder());
        if (!LoadSchedulerSettings())
            throw std::runtime_error("the demo's scheduler settings do not load");
        LoadSettings(*form_);
        form_->Page().SetLoading(false);
        user_ = form_->FindUser("demo");
        if (!user_)
            throw std::runtime_error("the demo account did not load");
    }
    ~SessionFixture() { form_->FormClose(); }
    SessionFixture(const SessionFixture&) = delete;
    SessionFixture& operator=(const SessionFixture&) = delete;

    // Sends the input on a fresh connection (then ends sending) while the
    // command loop serves it; `loggedIn` gives the session the demo account.
    void Exchange(const std::uint8_t* data, std::size_t size, bool loggedIn)
    {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0)
            throw std::runtime_error("socketpair failed");
        auto context = std::make_shared<TContextData>(std::weak_ptr<ServedConnection>());
        if (loggedIn)
            context->User = user_;
        std::thread client(&SessionFixture::Client, fds[1], std::string_view(reinterpret_cast<const char*>(data), size));
        {
            Connection connection(fds[0]);
            try {
                while (!connection.IsClosed())
                    TCPServerExecute(*form_, connection, *context);
            } catch (const std::exception&) {
                // What ends a connection: the listener logs it and goes on.
            }
            connection.Close();
        }
        client.join();
        form_->ClearLog();
    }

private:
    // A database of a few records for the first category, so "Search=" has
    // something to match.
    static void WriteLibrary(const std::filesystem::path& dataFolder)
    {
        LibraryWriter writer((dataFolder / "Rock.dat").string());
        for (int i = 0; i < 4; ++i) {
            LibraryRecord record;
            record.FileName = "C:\\Cadmora\\Library\\Demo Artist " + std::to_string(i) + " - Song A.mp3";
            record.Artist = "Demo Artist " + std::to_string(i);
            record.Title = "Song A";
            record.Album = "Demo";
            record.Year = static_cast<std::uint16_t>(1990 + i);
            record.DurationMs = 215000;
            record.BitRate = 128;
            record.Tempo = static_cast<std::uint8_t>(i + 1);
            writer.Add(record);
        }
        writer.Commit();
    }

    // Writes the input and reads the replies at the same time, so neither
    // side waits on a full socket buffer; ends sending after the input and
    // reads until the server closes.
    static void Client(int fd, std::string_view input)
    {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        bool sending = true;
        if (input.empty()) {
            ::shutdown(fd, SHUT_WR);
            sending = false;
        }
        for (;;) {
            pollfd ready{fd, static_cast<short>(POLLIN | (sending ? POLLOUT : 0)), 0};
            if (::poll(&ready, 1, 1000) < 0)
                break;
            if (ready.revents & (POLLIN | POLLHUP | POLLERR)) {
                char buffer[65536];
                const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
                if (got == 0 || (got < 0 && errno != EAGAIN))
                    break;
            }
            if (sending && (ready.revents & POLLOUT)) {
                const ssize_t sent = ::send(fd, input.data(), input.size(), MSG_NOSIGNAL);
                if (sent > 0)
                    input.remove_prefix(static_cast<std::size_t>(sent));
                if (sent < 0 && errno != EAGAIN)
                    input = {};
                if (input.empty()) {
                    ::shutdown(fd, SHUT_WR);
                    sending = false;
                }
            }
        }
        ::close(fd);
    }

    MainThread main_;
    std::unique_ptr<MainForm> form_;
    std::shared_ptr<TUser> user_;
};

} // namespace zd::fuzz
