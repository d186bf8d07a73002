#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace zd {

class Connection;
class MainForm;
class PreviewStream;
class TContextData;
class TPlayer;

// The running side of a preview: sending the encoder's output, and the close.
struct StreamPipeline {
    // The sender looks for new bytes every kPoll, kMaxWaits times in a row
    // before it takes the stream as ended (4 s without a byte).
    static constexpr std::chrono::milliseconds kPoll{40};
    static constexpr int kMaxWaits = 100;
    // Pause before each encoder chunk once the client holds enough.
    static constexpr int kPaceDelayMs = 9;
    // Bytes per kbit/s of a player's head start (5.6 s of MP3).
    static constexpr std::int64_t kPlayerLeadPerKbit = 700;
    // The close polls the encoder every kStopPoll, at most kStopPolls times.
    static constexpr std::chrono::milliseconds kStopPoll{14};
    static constexpr int kStopPolls = 200;
};

// Sends the MP3 bytes of the stream as the encoder makes them, up to
// contentLength, slowing the encoder by kPaceDelayMs per chunk once more
// than paceThreshold bytes are encoded. Ends after kMaxWaits polls without
// a new byte or when the stream is asked to end. A failed write ends the
// loop: "HTTP/1.1 500 Internal Server Error" is tried and, when it goes out,
// the error is logged; otherwise the error is thrown on. Connection thread.
void SendPreview(MainForm& form, Connection& connection, PreviewStream& stream, std::int64_t contentLength,
                 std::int64_t paceThreshold, const std::string& fileName /* as the log shows it */);

// Takes the slot's stream down, on its connection thread: stops the encoder
// (waiting at most kStopPolls x kStopPoll), logs the close, frees the
// encoder, the decoder and the buffer (logging a failure of each and going
// on), then on the main thread removes the list entry, unlinks the session
// record and frees the slot, last. The request handler runs it once per
// stream; a close asked for from elsewhere only asks the stream to end
// (PreviewStream::RequestEnd), so the buffer is never freed under the
// sender. noexcept.
void ClosePreviewStream(MainForm& form, TPlayer& slot, TContextData& context, PreviewStream* stream) noexcept;

} // namespace zd
