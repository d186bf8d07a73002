#include "protocol/SettingsReply.hpp"

#include "audio/FileOps.hpp"
#include "audio/RetryOpen.hpp"
#include "common/MarkedText.hpp"
#include "common/Numbers.hpp"
#include "net/Connection.hpp"
#include "scheduler/SchedulerSettings.hpp"
#include "scheduler/SharedFiles.hpp"
#include "server/LocaleFormats.hpp"
#include "server/MainForm.hpp"
#include "server/TContextData.hpp"
#include "server/TUser.hpp"

namespace zd {
namespace {

void AddLine(std::string& reply, std::string_view line)
{
    reply.append(line);
    reply.append("\r\n");
}

char Switch(bool on) noexcept
{
    return on ? '1' : '0';
}

} // namespace

std::string PermissionLine(const TUser& user, bool value58IsOne, std::string_view vtLimitText)
{
    std::string line;
    for (const std::uint8_t value : {user.FullInsert, user.VTMarkersOnly, user.MoveTracks,
                                     user.SpotDelete, user.Separation, user.TimingTool,
                                     user.LocalTracks, user.DSP})
        line += Switch(value != 0);
    line += Switch(value58IsOne);
    line += user.LimitVT != 0 ? ZeroPad(vtLimitText, 3) : std::string("000");
    return line;
}

UserGrant GrantOf(const TUser& user, bool value58IsOne, std::string_view vtLimitText)
{
    UserGrant grant{PermissionLine(user, value58IsOne, vtLimitText), {}};
    for (int day = 0; day < 7; ++day)
        grant.hours.push_back(HourPermissionLine(user, day));
    return grant;
}

std::string BuildSettingsReply(const SchedulerSettings& scheduler, const LocaleFormats& locale,
                               const UserGrant& grant, const ColorsContent& colors,
                               const std::vector<std::string>& playlists)
{
    std::string reply;
    for (const std::string& value :
         {scheduler.Value61, std::to_string(scheduler.Value42), std::to_string(scheduler.Value3),
          scheduler.Value7, scheduler.Value74, scheduler.Value40, scheduler.Value28,
          scheduler.Value76, scheduler.Value75, scheduler.Value41, scheduler.Value23,
          scheduler.Value24, scheduler.Value25, scheduler.Value26, scheduler.VoiceTrackFolder})
        AddLine(reply, value);
    for (const auto& line : locale.ReplyLines())
        AddLine(reply, line);
    AddLine(reply, grant.permissions);
    for (const auto& line : grant.hours)
        AddLine(reply, line);
    if (colors)
        reply += *colors;
    else
        AddLine(reply, "");
    AddLine(reply, std::to_string(playlists.size()));
    // The folder lists UTF-8 names; a client sends a name back as it got it,
    // so one with high bytes goes marked to name the same file again.
    for (const auto& name : playlists)
        AddLine(reply, MarkIfHigh(name));
    return reply;
}

ColorsContent ReadColors(const std::string& dataFolder)
{
    const std::string path = dataFolder + "colors.dat";
    if (!FileExistsMarked(path))
        return std::nullopt;
    return ReadWholeTextFile(path);
}

void HandleSettings(Session& session, std::string_view)
{
    const auto user = session.context.User;
    if (!user)
        return;
    const auto scheduler = CurrentSchedulerSettings();
    const std::string vtLimit = session.form.Page().VTLimitText();
    // The account's switches belong to the main thread, where the operator
    // may be editing them.
    const UserGrant grant = session.form.RunOnMainThread(
        [&] { return GrantOf(*user, scheduler->Value58IsOne, vtLimit); });
    const std::string reply = BuildSettingsReply(*scheduler, session.form.Locale(), grant,
                                                 ReadColors(scheduler->DataFolder), ListPlaylists());
    session.connection.Write(reply);
}

} // namespace zd
