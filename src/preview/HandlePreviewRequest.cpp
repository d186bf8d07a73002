#include "preview/PreviewServer.hpp"

#include "audio/FileDuration.hpp"
#include "audio/FileOps.hpp"
#include "audio/NativePath.hpp"
#include "audio/tags/TAPETags.hpp"
#include "common/Numbers.hpp"
#include "common/Texts.hpp"
#include "common/Translate.hpp"
#include "net/Connection.hpp"
#include "net/Limits.hpp"
#include "preview/PluginChoice.hpp"
#include "preview/PreviewLog.hpp"
#include "preview/PreviewRequest.hpp"
#include "preview/PreviewStream.hpp"
#include "preview/StreamPipeline.hpp"
#include "server/MainForm.hpp"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace zd {

namespace {

constexpr std::int64_t kBufferSlack = 16000;

// A status line and the end of the head. The connection closes after it.
void Answer(Connection& connection, std::string_view status, std::string_view header = {})
{
    std::string head = std::string(status) + "\r\n";
    if (!header.empty())
        head += std::string(header) + "\r\n";
    connection.Write(head + "\r\n");
}

void ReadHead(Connection& connection, PreviewRequest& request)
{
    // Only lines already waiting are read; a line cut short is waited for
    // up to the request's time-out, and one that does not come counts as empty.
    while (connection.BytesWaiting()) {
        try {
            const auto line = connection.ReadLine();
            if (!line)
                break;
            request.ReadHeader(*line);
        } catch (const ReadTimeoutError&) {
            break;
        }
    }
}

bool Authenticated(const TUser& user, const std::string& password, const std::string& peer)
{
    // A disabled account, or one restricted to other addresses, streams
    // nothing, as it could not log in.
    return user.Password == password && user.Enabled != 0
        && (user.RestrictIP.empty() || IpMatches(user.RestrictIP, peer));
}

// The length of the audio in ms for the lengths of the preview: the
// "Duration" field of the station's tag, else the file's own, less 50 ms;
// 0 or less when unknown. Loads the decoder for the file, and takes the
// replay gain from the tag when asked.
std::int64_t PrepareDecoder(TWinampIn& decoder, const PreviewRequest& request)
{
    if (!IsClientFileName(request.FileName) || !FileExistsMarked(request.FileName))
        return -1;
    const std::string chosen = ChoosePlugin(request.FileName);
    if (chosen != decoder.PluginFilename || !decoder.PluginLoaded()) {
        decoder.UnloadPlugin();
        decoder.PluginFilename = chosen;
        if (!chosen.empty())
            decoder.LoadPlugin();
    }
    std::int64_t durationMs = -1;
    {
        TAPETags tags(request.FileName, 3, TAPETags::ModeRead);
        if (tags.Opened()) {
            durationMs = TextToIntDef0(tags.GetField("Duration")) - 50;
            if (durationMs <= 0)
                durationMs = GetFileDuration(request.FileName, tags.Stream()) - 50;
            if (request.ReplayGainWanted) {
                bool marker = false;
                decoder.ReplayGain = ReplayGainFactor(tags.GetField("REPLAYGAIN_TRACK_GAIN"), marker);
            }
        }
    }
    decoder.FileName = request.FileName;
    return durationMs;
}

} // namespace

void PreviewServer::HandlePreviewRequest(MainForm& form, Connection& connection, TContextData& context,
                                         std::string_view firstLine)
{
    connection.SetReadTimeout(limits::kHttpRequestTimeout);
    PreviewRequest request;
    request.ReadTarget(firstLine);
    ReadHead(connection, request);
    request.DecodeCredentials();
    const std::string& name = request.Credentials;
    // What the client chose, as the log and the list may show it.
    const std::string shownName = ClientText(name);
    const std::string peer = connection.PeerAddress();
    if (name.empty()) {
        Answer(connection, "HTTP/1.1 401 Unauthorized", "WWW-Authenticate: Basic");
        connection.Close();
        return;
    }

    const std::shared_ptr<TContextData> record = context.shared_from_this();
    std::shared_ptr<TUser> user;
    TPlayer* slot = nullptr;
    const bool known = form.RunOnMainThread([&] {
        user = form.FindUser(name);
        if (!user || !Authenticated(*user, request.SentPassword, peer))
            return false;
        slot = pool_.AcquirePlayer(user, record);
        return true;
    });
    if (!known) {
        form.Throttle().Failed(peer, LoginThrottle::Clock::now());
        Answer(connection, "HTTP/1.1 403 Forbidden");
        form.LogEvent(AudioPrefix() + TrFormat("Login attempt by user %0:s failed on IP %1:s.", {shownName, peer}));
        connection.Close();
        return;
    }
    if (slot == nullptr) {
        Answer(connection, "HTTP/1.1 503 Service Unavailable");
        form.LogEvent(AudioPrefix() + TrFormat("No players available for user %0:s", {shownName}));
        connection.Close();
        return;
    }

    // Accepted credentials count as a login: the login time no longer applies.
    connection.MarkLoggedIn();
    // The stream starts: from here every way out closes it and ends the session.
    context.IsStream = true;
    context.User = user;
    const auto stream = std::make_shared<PreviewStream>(user->Login);
    struct Guard {
        MainForm& form;
        TPlayer& slot;
        TContextData& context;
        PreviewStream* stream;
        ~Guard()
        {
            ClosePreviewStream(form, slot, context, stream);
            form.DropSession(context);
        }
    } guard{form, *slot, context, stream.get()};
    form.RunOnMainThread([&] {
        slot->Stream = stream;
        form.Connected().AddStream(Tr("Audio") + ": " + shownName + " - Stream " + std::to_string(slot->Index), slot);
        form.UpdateTrayStatus();
    });
    form.LogEvent(StreamPrefix(slot->Index) + TrFormat("User %0:s connected on IP %1:s.", {shownName, peer}));

    TWinampIn& decoder = stream->Decoder();
    TMP3Out& encoder = stream->Encoder();
    ApplyPreviewPreset(encoder, request.BrowserMode ? 0 : form.Page().BitrateIndex());
    const std::string file = ClientText(request.FileName);
    const std::int64_t durationMs = PrepareDecoder(decoder, request);
    if (durationMs <= 0) {
        Answer(connection, "HTTP/1.1 404 Not Found");
        form.LogEvent(AudioPrefix() + TrFormat("File not found for user %0:s.\r\n     %1:s", {shownName, file}));
        return;
    }
    const int kbit = KbitRate(encoder.BitRate);
    const PreviewLengths lengths = ComputePreviewLengths(request, durationMs, kbit);
    if (!lengths.Satisfiable) {
        Answer(connection, "HTTP/1.1 416 Requested Range Not Satisfiable");
        form.LogEvent(AudioPrefix()
                      + TrFormat("Incorrect file position requested for user %0:s.\r\n     %1:s", {shownName, file}));
        return;
    }
    decoder.CueTime = lengths.CueTimeMs;
    if (!decoder.Init()) {
        Answer(connection, "HTTP/1.1 500 Internal Server Error");
        form.LogEvent(AudioPrefix() + TrFormat("Error loading audio file for user %0:s.\r\n     %1:s", {shownName, file}));
        return;
    }
    decoder.SetAcceptData(true);
    stream->ReserveBuffer(static_cast<std::size_t>(lengths.ContentLength + kBufferSlack));
    encoder.SetDelay(0);
    encoder.Run();
    // The body leaves in bursts as it is encoded: each goes out at once,
    // not held back until the client acknowledges the head.
    const int noDelay = 1;
    ::setsockopt(connection.Fd(), IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    connection.Write("HTTP/1.1 200 OK\r\n"
                     "Server: Vornelle ZO Davizi\r\n"
                     "Accept-Ranges: bytes\r\n"
                     "content-type: audio/mpeg\r\n"
                     "content-length: " + std::to_string(lengths.ContentLength) + "\r\n"
                     "\r\n");
    const std::int64_t paceThreshold = request.BrowserMode ? lengths.FullLength : kbit * StreamPipeline::kPlayerLeadPerKbit;
    SendPreview(form, connection, *stream, lengths.ContentLength, paceThreshold, file);
}

} // namespace zd
