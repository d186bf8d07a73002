#include "protocol/CommandSession.hpp"

#include "common/Texts.hpp"
#include "net/Connection.hpp"
#include "protocol/Dispatch.hpp"
#include "protocol/PlaylistTransfer.hpp"
#include "protocol/Session.hpp"
#include "scheduler/SharedFiles.hpp"
#include "server/MainForm.hpp"

namespace zd {
namespace {

bool ContainsHttpVersion(std::string_view line)
{
    return AsciiUpper(line).find(" HTTP/1.") != std::string::npos;
}

} // namespace

std::optional<std::string> ReadTrimmedLine(Connection& connection)
{
    std::optional<std::string> line = connection.ReadLine();
    if (!line)
        return std::nullopt;
    return std::string(TrimText(*line));
}

void TCPServerExecute(MainForm& form, Connection& connection, TContextData& context)
{
    const std::optional<std::string> read = ReadTrimmedLine(connection);
    if (!read) {
        connection.Close();
        return;
    }
    const std::string& line = *read;
    form.RunOnMainThread([&form] { form.CommitShownUser(); });

    Session session{form, connection, context};
    if (line == "Login") {
        RunLoginExchange(session);
        return;
    }
    if (ContainsHttpVersion(line)) {
        if (const auto& preview = form.GetHooks().PreviewRequest) {
            preview(form, connection, context, line);
        } else {
            connection.Write("HTTP/1.1 503 Service Unavailable\r\n\r\n");
            connection.Close();
        }
        return;
    }
    if (!context.User) {
        connection.WriteLine("Bye!");
        connection.Close();
        return;
    }
    DispatchCommand(session, line);
}

void InstallCommandSession(MainForm& form)
{
    form.SetCommandHandler(&TCPServerExecute);
    form.GetHooks().PublishConnectedUsers = [](MainForm&, const std::vector<std::string>& texts) {
        PublishConnectedUsers(texts);
    };
    form.GetHooks().RestorePlaylist = [](MainForm& f, TUser& user) { return RestorePlaylistAtSessionEnd(f, user); };
}

} // namespace zd
