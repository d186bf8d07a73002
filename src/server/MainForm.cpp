#include "server/MainForm.hpp"

#include "common/Translate.hpp"
#include "server/StandardOutputLog.hpp"

#include <cstdio>
#include <ctime>

namespace zd {

namespace {

std::tm LocalNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return local;
}

} // namespace

MainForm::MainForm(MainThread& mainThread, StartOptions options)
    : mainThread_(mainThread),
      options_(std::move(options)),
      folders_(Folders::FromProgramFolder(options_.ProgramFolder.empty() ? ExecutableFolder()
                                                                         : options_.ProgramFolder)),
      optionsPage_(*this),
      usersPage_(*this)
{
    BindCatalogue(folders_.CatalogueFolder);
    programTitle_ = Tr("ZO Davizi");
    window_.Caption = Tr("Vornelle") + " " + programTitle_;
    if (options_.Headless) {
        log_.Echo = [echo = StandardOutputLog()](const std::string& line) { echo.Write(line); };
        hooks_.ShowMessage = [](const MessageDialog& dialog) {
            std::fprintf(stderr, "%s\n%s\n%s\n", dialog.Title.c_str(), dialog.Text.c_str(),
                         dialog.Detail.c_str());
            std::fflush(stderr);
        };
        hooks_.Beep = [] {
            std::fputc('\a', stderr);
            std::fflush(stderr);
        };
    }
    mainThread_.SetTimerHandler([this] { CheckTime(); });
}

MainForm::~MainForm()
{
    FormClose();
}

std::tm MainForm::Now() const
{
    return hooks_.LocalClock ? hooks_.LocalClock() : LocalNow();
}

std::uint16_t MainForm::MappedPort() const noexcept
{
    return Listening() ? BoundPort() : optionsPage_.Port();
}

bool MainForm::SetPortMapping(bool add, std::uint16_t port) noexcept
{
    try {
        return portMapping_.SetPortMapping(add, kPortMappingDescription, PortMapping::kTcpOnly, localAddress_, port);
    } catch (...) {
        return false; // every failure is silent
    }
}

void MainForm::LogEvent(std::string_view text) noexcept
{
    if (!mainThread_.TimerEnabled())
        return;
    try {
        mainThread_.RunOnMainThread([this, line = std::string(text)] {
            if (!mainThread_.TimerEnabled())
                return;
            log_.Append(ActivityLog::FormatLine(localeFormats_, Now(), line),
                        static_cast<std::size_t>(optionsPage_.MaxLogEntries()));
        });
    } catch (...) {
        // A line that cannot be recorded is dropped.
    }
}

} // namespace zd
