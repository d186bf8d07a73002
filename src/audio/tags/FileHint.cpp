#include "audio/tags/FileHint.hpp"

#include <array>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

#include "audio/FileOps.hpp"
#include "audio/MarkedText.hpp"
#include "audio/info/ByteSource.hpp"
#include "audio/tags/TAPETags.hpp"
#include "common/CodePage.hpp"
#include "common/DosTime.hpp"
#include "common/Numbers.hpp"
#include "common/Texts.hpp"
#include "common/Translate.hpp"

namespace zd {
namespace {

struct CaptionRow {
    std::u16string Caption;
    std::string Field;
};

struct Captions {
    std::vector<CaptionRow> Rows;
    HintDateFormatter Formatter;
};

std::mutex captionsLock;
std::shared_ptr<const Captions> captions;

constexpr std::array<std::pair<const char*, const char*>, 13> kRows{{
    {"Composer", "Composer"},
    {"Conductor", "Conductor"},
    {"Year", "Year"},
    {"Album", "Album"},
    {"Comment", "Comment"},
    {"Client", "Client"},
    {"Rating", "Rating"},
    {"Tempo", "Tempo"},
    {"Track Ending", "FadeSpeed"},
    {"Hook Times", "Hook"},
    {"Last Scheduled", "XLastScheduled"},
    {"Last Played", "XLastPlayed"},
    {"Filename", "Filename"},
}};

std::u16string Widen(std::string_view utf8)
{
    return Utf8ToWide(utf8).value_or(AnsiToWide(utf8));
}

std::string EnglishDateTime(TDateTime value)
{
    static constexpr const char* days[] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
    static constexpr const char* months[] = {"January", "February", "March", "April", "May", "June", "July",
        "August", "September", "October", "November", "December"};
    const TDateTimeParts p = DecodeDateTime(value);
    const unsigned hour12 = p.Hour % 12 == 0 ? 12 : p.Hour % 12;
    char text[96];
    std::snprintf(text, sizeof text, "%s, %s %u, %d, %u:%02u %s", days[p.DayOfWeek % 7],
        months[(p.Month + 11) % 12], p.Day, p.Year, hour12, p.Minute, p.Hour < 12 ? "AM" : "PM");
    return text;
}

std::shared_ptr<const Captions> CurrentCaptions()
{
    {
        std::lock_guard lock(captionsLock);
        if (captions)
            return captions;
    }
    InitFieldCaptions();
    std::lock_guard lock(captionsLock);
    return captions;
}

std::u16string TrimWide(std::u16string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && text[begin] <= u' ')
        ++begin;
    while (end > begin && text[end - 1] <= u' ')
        --end;
    return std::u16string(text.substr(begin, end - begin));
}

std::u16string HistoryLines(std::string_view slots, const Captions& rows)
{
    std::u16string lines;
    const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(slots.data()), slots.size());
    for (std::size_t at = 0; at + 4 <= bytes.size(); at += 4) {
        const std::uint32_t value = LoadLE32(bytes, at);
        if (value <= kSmallestDosDateTime)
            continue;
        const TDateTime when = DosDateTimeToDateTime(value);
        if (when == 0)
            continue;
        lines += u"\r\n      ";
        lines += Widen(rows.Formatter ? rows.Formatter(when) : EnglishDateTime(when));
    }
    return lines;
}

std::u16string HookText(const TAPETags& tags)
{
    const std::int32_t start = TextToIntDef0(tags.GetField("HookStart"));
    if (start < 1)
        return {};
    const std::int32_t length = TextToIntDef0(tags.GetField("HookLen"));
    char len[32];
    std::snprintf(len, sizeof len, "%02d.%03d", (length / 1000) % 100, length % 1000);
    const std::string text = MinutesSecondsMs(start).substr(0, 7) + ", " + std::string(len).substr(0, 4);
    return Widen(text);
}

std::u16string RowValue(TAPETags& tags, const std::string& field, std::string_view name, const Captions& rows)
{
    if (field == "Filename")
        return MarkedToWide(name);
    if (field == "Hook")
        return HookText(tags);
    const std::string value = tags.GetField(field);
    if (field[0] == 'X')
        return HistoryLines(value, rows);
    std::u16string wide = TrimWide(MarkedToWide(value));
    if (field == "Tempo") {
        static constexpr const char16_t* tempos[] = {u"Slow", u"Slow-Medium", u"Medium", u"Medium-Fast", u"Fast"};
        if (wide.size() == 1 && wide[0] >= u'1' && wide[0] <= u'5')
            return tempos[wide[0] - u'1'];
    } else if (field == "FadeSpeed") {
        return Widen(TransitionName(TextToIntDef0(value)));
    }
    return wide;
}

} // namespace

std::string MinutesSecondsMs(std::int64_t ms)
{
    if (ms < 0)
        ms = 0;
    char text[48];
    std::snprintf(text, sizeof text, "%02lld:%02lld.%03lld", static_cast<long long>(ms / 60000),
        static_cast<long long>((ms / 1000) % 60), static_cast<long long>(ms % 1000));
    return text;
}

void InitFieldCaptions(HintDateFormatter formatter)
{
    auto built = std::make_shared<Captions>();
    built->Formatter = std::move(formatter);
    std::size_t widest = 0;
    for (const auto& [label, field] : kRows) {
        CaptionRow row{Widen(Tr(label)) + u": ", field};
        if (field[0] != 'X')
            widest = std::max(widest, row.Caption.size());
        built->Rows.push_back(std::move(row));
    }
    for (CaptionRow& row : built->Rows)
        if (row.Caption.size() < widest)
            row.Caption.append(widest - row.Caption.size(), u' ');
    std::lock_guard lock(captionsLock);
    captions = std::move(built);
}

std::u16string FileHintText(std::string_view markedName)
{
    if (!FileExistsMarked(markedName))
        return {};
    TAPETags tags(std::string(markedName), 3, TAPETags::ModeRead);
    if (!tags.Opened())
        return {};
    if (tags.Count() < 3)
        tags.ImportFormatTags();
    if (tags.Count() == 0)
        return {};
    const auto rows = CurrentCaptions();
    std::u16string text;
    for (const CaptionRow& row : rows->Rows) {
        const std::u16string value = RowValue(tags, row.Field, markedName, *rows);
        if (value.empty() || value == u"0")
            continue;
        if (!text.empty())
            text += u"\r\n";
        text += row.Caption + value;
    }
    return text;
}

} // namespace zd
