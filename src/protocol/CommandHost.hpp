#pragma once

#include <functional>
#include <string>

namespace zd {

class MainForm;

// What the playlist and upload commands need of the server: the activity log
// and the hand-over to the main thread. The server's realisation forwards to
// MainForm; tests record the lines and run the jobs at once.
class CommandHost {
public:
    virtual ~CommandHost() = default;
    // Appends a line to the activity log. Any thread. noexcept.
    virtual void Log(const std::string& text) noexcept = 0;
    // Runs the job on the main thread and waits for its end. Rethrows what
    // the job throws.
    virtual void RunOnMainThread(const std::function<void()>& job) = 0;
};

// The CommandHost of the running server.
class FormCommandHost final : public CommandHost {
public:
    explicit FormCommandHost(MainForm& form) noexcept : form_(form) {}
    void Log(const std::string& text) noexcept override;
    void RunOnMainThread(const std::function<void()>& job) override;

private:
    MainForm& form_;
};

} // namespace zd
