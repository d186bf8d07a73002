#include "protocol/FileQueries.hpp"

#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <mutex>
#include <vector>

#include "audio/FileDuration.hpp"
#include "audio/FileFacts.hpp"
#include "audio/FileOps.hpp"
#include "audio/MarkedText.hpp"
#include "audio/NativePath.hpp"
#include "audio/info/ByteSource.hpp"
#include "audio/tags/FileHint.hpp"
#include "audio/tags/TAPETags.hpp"
#include "audio/tags/TagText.hpp"
#include "common/DateTime.hpp"
#include "common/DosTime.hpp"
#include "common/Numbers.hpp"
#include "common/Texts.hpp"
#include "net/Connection.hpp"
#include "net/Limits.hpp"
#include "net/ReadTimeoutScope.hpp"
#include "scheduler/SchedulerSettings.hpp"
#include "server/LocaleFormats.hpp"
#include "server/MainForm.hpp"

namespace zd {
namespace {

constexpr std::size_t kHistorySlots = 18;
constexpr std::size_t kHistoryBytes = kHistorySlots * 4;
constexpr std::uint32_t kNearestLimit = 2048; // less than an hour of the same day
constexpr std::int64_t kWeekOfDays = 0x70000; // 7 in the day field of the date half
constexpr std::size_t kFileCheckReplyPiece = 64 * 1024;

std::array<std::uint32_t, kHistorySlots> Slots(std::string_view history) noexcept
{
    std::array<std::uint32_t, kHistorySlots> slots{};
    const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(history.data()), history.size());
    for (std::size_t i = 0; i < kHistorySlots; ++i)
        slots[i] = LoadLE32(bytes, i * 4);
    return slots;
}

// The history dates in the session's locale: long date, a comma, short time.
void InitCaptionsOnce(const MainForm& form)
{
    static std::once_flag once;
    std::call_once(once, [&form] {
        const LocaleFormats formats = form.Locale();
        InitFieldCaptions([formats](TDateTime when) {
            const TDateTimeParts p = DecodeDateTime(when);
            std::tm time{};
            time.tm_year = p.Year - 1900;
            time.tm_mon = static_cast<int>(p.Month) - 1;
            time.tm_mday = static_cast<int>(p.Day);
            time.tm_hour = static_cast<int>(p.Hour);
            time.tm_min = static_cast<int>(p.Minute);
            time.tm_sec = static_cast<int>(p.Second);
            time.tm_wday = static_cast<int>((p.DayOfWeek + 1) % 7);
            return FormatDatePicture(formats.LongDateFormat, time, formats) + ", "
                + FormatDatePicture(formats.ShortTimeFormat, time, formats);
        });
    });
}

} // namespace

bool IsTaggableAudioFile(std::string_view markedName)
{
    return IsKnownAudioExtension(markedName);
}

std::string FileCheckLine(std::string_view markedName, std::int64_t now)
{
    if (!IsClientFileName(markedName))
        return "0,0,0,0";
    const std::int64_t written = FileLocalDosTime(markedName);
    if (written < 0)
        return "0,0,0,0";
    if (written <= now - kWeekOfDays)
        return {};
    TAPETags tags(std::string(markedName), 3, TAPETags::ModeReadShared);
    if (tags.IndexOf("Duration") < 0)
        tags.ImportFormatTags();
    const std::string intro = tags.IndexOf("Intro") < 0 ? "-1" : tags.GetField("Intro");
    return tags.GetField("Duration") + "," + tags.GetField("Cue") + "," + tags.GetField("Segue") + "," + intro;
}

void FileCheckReplyTo(std::string_view listLine, std::int64_t now, const std::function<void(std::string&&)>& line)
{
    // Every item but the last gets a line: an item is answered once the next
    // one shows it was not the last.
    std::optional<std::string> held;
    ForEachCommaItem(listLine, [&](std::string&& item) {
        if (held)
            line(FileCheckLine(*held, now) + "\r\n");
        held = std::move(item);
    });
}

std::string FileCheckReply(std::string_view listLine, std::int64_t now)
{
    std::string reply;
    FileCheckReplyTo(listLine, now, [&reply](std::string&& line) { reply += line; });
    return reply;
}

bool ChangeScheduledHistory(std::string& history, std::string_view mode, std::uint32_t time) noexcept
{
    if (history.size() != kHistoryBytes)
        return false;
    auto slots = Slots(history);
    const auto before = slots;
    if (mode == "1") {
        for (std::size_t i = 0; i < kHistorySlots; ++i) {
            if (slots[i] < time) {
                for (std::size_t j = kHistorySlots - 1; j > i; --j)
                    slots[j] = slots[j - 1];
                slots[i] = time;
                break;
            }
        }
    } else if (mode == "2") {
        std::size_t best = kHistorySlots;
        std::uint32_t bestDiff = kNearestLimit;
        for (std::size_t i = 0; i < kHistorySlots; ++i) {
            const std::uint32_t diff = slots[i] > time ? slots[i] - time : time - slots[i];
            if (diff < bestDiff) {
                best = i;
                bestDiff = diff;
            }
        }
        if (best < kHistorySlots) {
            for (std::size_t j = best; j + 1 < kHistorySlots; ++j)
                slots[j] = slots[j + 1];
            slots[kHistorySlots - 1] = kSmallestDosDateTime;
        }
    }
    if (slots == before)
        return false;
    for (std::size_t i = 0; i < kHistorySlots; ++i)
        StoreLE32(reinterpret_cast<std::uint8_t*>(history.data()) + i * 4, slots[i]);
    return true;
}

void HandleExists(Session& session, std::string_view argument)
{
    session.connection.WriteLine(IsClientFileName(argument) && FileExistsMarked(argument) ? "1" : "0");
}

void HandleFileCheck(Session& session, std::string_view argument)
{
    const std::int32_t length = TextToIntDef0(argument);
    if (length <= 0)
        return;
    Connection& connection = session.connection;
    const ReadTimeoutScope timeout(connection, limits::kFileCheckTimeout);
    const std::optional<std::string> list = connection.ReadLine(static_cast<std::size_t>(length) + 2);
    // The reply goes out in pieces as the items are answered, so a long list
    // costs its own bytes and one piece.
    std::string piece;
    FileCheckReplyTo(list.value_or(std::string()), NowUtcDosDateTime(), [&](std::string&& line) {
        piece += line;
        if (piece.size() >= kFileCheckReplyPiece) {
            connection.Write(piece);
            piece.clear();
        }
    });
    if (!piece.empty())
        connection.Write(piece);
}

void HandleFileHint(Session& session, std::string_view argument)
{
    InitCaptionsOnce(session.form);
    const std::string text = IsClientFileName(argument) ? WideToMarked(FileHintText(argument)) : std::string();
    session.connection.WriteLine(std::to_string(text.size()));
    session.connection.Write(text);
}

void HandleScheduled(Session& session, std::string_view argument)
{
    (void)session;
    const std::vector<std::string> items = SplitCommaList(argument);
    if (items.size() != 3 || !IsClientFileName(items[2]) || !IsTaggableAudioFile(items[2]))
        return;
    // Packed DOS date-times of 2044 on pass the 32-bit signed range.
    const auto time = static_cast<std::uint32_t>(TextToInt64Def0(items[1]));
    TAPETags tags(items[2], 3, TAPETags::ModeReadWrite);
    if (!tags.Opened())
        return;
    std::string history = tags.GetField("XLastScheduled");
    if (history.size() != kHistoryBytes)
        return;
    ChangeScheduledHistory(history, items[0], time);
    tags.UpdateField("XLastScheduled", history);
    if (tags.Count() < 3)
        tags.ImportFormatTags();
    if (tags.Modified())
        tags.WriteTags();
}

void HandleWriteTag(Session& session, std::string_view argument)
{
    std::vector<std::string> pieces;
    BreakAtChar(pieces, argument, '\x1F');
    std::string reply = "Fail";
    // A name of 2 or more characters that cannot be a key is a failed write;
    // only a shorter one raises (in SetField) and ends the connection.
    const bool usableName = pieces.size() == 3 && (pieces[1].size() < 2 || IsValidTagName(pieces[1]));
    if (usableName && IsClientFileName(pieces[0]) && IsTaggableAudioFile(pieces[0])) {
        TAPETags tags(pieces[0], 3, TAPETags::ModeReadWrite);
        if (tags.Opened()) {
            tags.SetField(pieces[1], pieces[2]);
            tags.WriteTags();
            // A file that could only be read, or a write that failed, is no success.
            if (!tags.ReadOnly() && !tags.Error())
                reply = "OK";
        }
    }
    session.connection.WriteLine(reply);
}

} // namespace zd
