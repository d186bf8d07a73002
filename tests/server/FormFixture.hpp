#pragma once

#include "server/MainForm.hpp"

#include "../support/Loopback.hpp"
#include "../support/TempFolder.hpp"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zd::test {

// A fresh installation root under /tmp with its Data folder.
class TempRoot : public testsupport::TempFolder {
public:
    TempRoot() { std::filesystem::create_directories(Path() / "Data"); }
};

// The main window object on a fresh root, listening on 127.0.0.1 at a free
// port; the test's thread is the main thread, so waiting serves its jobs.
class FormFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        StartOptions options;
        options.ProgramFolder = (root_.Path() / "ZODavizi").string() + "/";
        options.ListenAddress = "127.0.0.1";
        options.ListenPort = 0;
        options.Headless = false;
        form_ = std::make_unique<MainForm>(main_, options);
        form_->GetHooks().ShowMessage = [this](const MessageDialog& dialog) { messages_.push_back(dialog); };
    }

    void TearDown() override { form_->FormClose(); }

    // The running state without the scheduler and configuration steps.
    void Start()
    {
        form_->Page().SetLoading(false);
        form_->ActivateListener();
        ASSERT_TRUE(form_->Listening());
        main_.StartTimer();
        main_.RunPending(); // activation may log the making of a certificate
        form_->ClearLog();
    }

    // Serves main-thread jobs until the condition holds or 5 s passed.
    bool WaitFor(const std::function<bool()>& condition)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        bool met = false;
        main_.PumpUntil([&] { met = condition(); return met || std::chrono::steady_clock::now() > deadline; },
                        std::chrono::milliseconds(2));
        return met;
    }

    std::vector<std::string> LogTexts() const
    {
        // Each line is "<date>,hh:nn:ss <text>": keep the text.
        std::vector<std::string> texts;
        for (const std::string& line : form_->Log().Lines())
            texts.push_back(line.substr(line.find(' ', line.find(',')) + 1));
        return texts;
    }

    TempRoot root_;
    MainThread main_;
    std::unique_ptr<MainForm> form_;
    std::vector<MessageDialog> messages_;
};

// A loopback client whose reads serve the main thread while they wait.
class Client {
public:
    Client(FormFixture& fixture, std::uint16_t port, std::function<bool(const std::function<bool()>&)> wait)
        : wait_(std::move(wait))
    {
        (void)fixture;
        fd_ = testsupport::ConnectLoopback(port);
    }
    ~Client()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool Connected() const { return fd_ >= 0; }
    void Send(const std::string& text) { (void)::send(fd_, text.data(), text.size(), MSG_NOSIGNAL); }

    // The next line without CR LF; "" with Closed() true when the server closed.
    std::string ReadLine()
    {
        wait_([this] {
            Pump();
            return pending_.find('\n') != std::string::npos || closed_;
        });
        const auto lf = pending_.find('\n');
        if (lf == std::string::npos)
            return {};
        std::string line = pending_.substr(0, lf);
        pending_.erase(0, lf + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        return line;
    }

    // Waits until the server closes the connection.
    bool WaitClosed()
    {
        return wait_([this] { Pump(); return closed_; });
    }
    bool Closed() const { return closed_; }

private:
    void Pump()
    {
        pollfd ready{fd_, POLLIN, 0};
        while (!closed_ && ::poll(&ready, 1, 0) > 0) {
            char buffer[512];
            const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
            if (got <= 0) {
                closed_ = true;
                break;
            }
            pending_.append(buffer, static_cast<std::size_t>(got));
        }
    }

    std::function<bool(const std::function<bool()>&)> wait_;
    int fd_ = -1;
    bool closed_ = false;
    std::string pending_;
};

} // namespace zd::test
