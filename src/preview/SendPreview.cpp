#include "preview/StreamPipeline.hpp"

#include "common/Translate.hpp"
#include "net/Connection.hpp"
#include "preview/PreviewLog.hpp"
#include "preview/PreviewStream.hpp"
#include "server/MainForm.hpp"

#include <algorithm>

namespace zd {

namespace {

// Waits for bytes beyond `sent`; false after kMaxWaits polls without one or
// when the stream is asked to end. The encoder wakes the wait as soon as it
// appends, so the first bytes leave at once.
bool WaitForBytes(PreviewStream& stream, std::size_t sent)
{
    PreviewBuffer& buffer = *stream.Buffer();
    for (int wait = 0; wait < StreamPipeline::kMaxWaits && !stream.EndRequested(); ++wait) {
        if (buffer.WritePosition() > sent)
            return true;
        buffer.WaitBeyond(sent, StreamPipeline::kPoll);
    }
    return !stream.EndRequested() && buffer.WritePosition() > sent;
}

void Pace(PreviewStream& stream, std::int64_t written, std::int64_t threshold) noexcept
{
    TMP3Out& encoder = stream.Encoder();
    if (stream.Decoder().Opened() && encoder.Delay() == 0 && written > threshold)
        encoder.SetDelay(StreamPipeline::kPaceDelayMs);
}

} // namespace

void SendPreview(MainForm& form, Connection& connection, PreviewStream& stream, std::int64_t contentLength,
                 std::int64_t paceThreshold, const std::string& fileName)
{
    PreviewBuffer& buffer = *stream.Buffer();
    std::int64_t sent = 0;
    try {
        while (sent < contentLength) {
            if (!WaitForBytes(stream, static_cast<std::size_t>(sent)))
                break;
            const auto written = static_cast<std::int64_t>(buffer.WritePosition());
            Pace(stream, written, paceThreshold);
            const std::int64_t end = std::min(written, contentLength);
            // The buffer never moves and lives until this thread closes the
            // stream, so its bytes are written from where they lie.
            connection.Write(buffer.Bytes(static_cast<std::size_t>(sent), static_cast<std::size_t>(end)));
            sent = end;
        }
    } catch (const std::exception& error) {
        connection.WriteLine("HTTP/1.1 500 Internal Server Error");
        form.LogEvent(AudioPrefix() + error.what() + ". " + Tr("User") + " " + stream.Login() + ".\r\n     "
                      + fileName);
    }
}

} // namespace zd
