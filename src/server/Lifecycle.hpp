#pragma once

namespace zd {

class MainForm;

// The order in which the form's subsystems start, are checked on each timer
// tick, and stop. Main thread.
class Lifecycle {
public:
    explicit Lifecycle(MainForm& form) noexcept : form_(form) {}
    Lifecycle(const Lifecycle&) = delete;
    Lifecycle& operator=(const Lifecycle&) = delete;

    // See MainForm::StartServer, CheckTime and FormClose.
    bool StartServer();
    void CheckTime();
    void FormClose();

    int ExitCode() const noexcept { return exitCode_; }

private:
    MainForm& form_;
    int lastHour_ = 0;
    int lastMinute_ = 0;
    bool started_ = false;
    bool closed_ = false;
    int exitCode_ = 0;
};

} // namespace zd
