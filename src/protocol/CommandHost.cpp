#include "protocol/CommandHost.hpp"

#include "server/MainForm.hpp"

namespace zd {

void FormCommandHost::Log(const std::string& text) noexcept
{
    form_.LogEvent(text);
}

void FormCommandHost::RunOnMainThread(const std::function<void()>& job)
{
    form_.RunOnMainThread(job);
}

} // namespace zd
