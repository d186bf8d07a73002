#include "preview/StreamPipeline.hpp"

#include "common/Translate.hpp"
#include "preview/PreviewLog.hpp"
#include "preview/PreviewStream.hpp"
#include "preview/TPlayer.hpp"
#include "server/MainForm.hpp"

#include <thread>

namespace zd {

namespace {

// Stops the encoder; false when it did not go idle in time.
bool StopEncoder(PreviewStream& stream)
{
    TMP3Out& encoder = stream.Encoder();
    encoder.Stop();
    for (int poll = 0; poll < StreamPipeline::kStopPolls; ++poll) {
        const int status = encoder.Status();
        if (status == 3 || status == 2)
            return true;
        std::this_thread::sleep_for(StreamPipeline::kStopPoll);
    }
    return false;
}

template <class Step>
void Free(MainForm& form, Step&& step, const char* failure) noexcept
{
    try {
        step();
    } catch (...) {
        form.LogEvent(failure);
    }
}

} // namespace

void ClosePreviewStream(MainForm& form, TPlayer& slot, TContextData& context, PreviewStream* stream) noexcept
{
    if (stream != nullptr) {
        const std::string prefix = StreamPrefix(slot.Index);
        const std::string& login = stream->Login();
        bool stopped = false;
        if (stream->HasEncoder()) {
            try {
                stopped = StopEncoder(*stream);
            } catch (...) {
            }
            form.LogEvent(prefix + TrFormat("User %0:s closing stream", {login}));
            if (!stopped)
                form.LogEvent(prefix + TrFormat("User %0:s timeout warning closing stream", {login}));
        }
        stream->RequestEnd();
        Free(form, [&] { stream->FreeEncoder(); }, "Error MP3Out.Free");
        Free(form, [&] { stream->FreeDecoder(); }, "Error WinampIn.Free");
        Free(form, [&] { stream->FreeBuffer(); }, "Error AudioMS.Free");
    }
    const auto release = [&] {
        const int entry = form.Connected().FindStreamEntry(&slot);
        if (entry >= 0)
            form.RemoveEntry(entry);
        context.Player = nullptr;
        slot.Stream.reset();
        slot.Context.reset();
        slot.User.reset(); // last: the slot is free
    };
    try {
        form.RunOnMainThread(release);
    } catch (...) {
        // The main thread has gone: the pool goes with it.
    }
}

} // namespace zd
