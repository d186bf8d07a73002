#include "scheduler/LibrarySearch.hpp"

#include "audio/FileDuration.hpp"
#include "audio/FileOps.hpp"
#include "audio/RetryOpen.hpp"
#include "audio/SongRestrictionCheck.hpp"
#include "audio/info/ByteSource.hpp"
#include "common/CodePage.hpp"
#include "common/DosTime.hpp"
#include "common/MarkedText.hpp"
#include "common/SongRestriction.hpp"
#include "common/Texts.hpp"
#include "common/Translate.hpp"
#include "scheduler/LibraryDatabase.hpp"

#include <algorithm>
#include <array>
#include <cmath>

namespace zd {
namespace {

constexpr int kOpenAttempts = 8;
constexpr std::uint16_t kSharedReading = kOpenRead | kShareDenyNone;

// Each byte of the code page in lower case: as a wide character, and as a
// byte that is the ASCII character when the lower-case form is ASCII and
// 0x80 or above (never equal to an ASCII character) when it is not.
struct LowerTables {
    std::array<char16_t, 256> Wide{};
    std::array<unsigned char, 256> Ascii{};
};

const LowerTables& LowerCodePage()
{
    static const LowerTables tables = [] {
        LowerTables lower;
        for (std::size_t byte = 0; byte < 256; ++byte) {
            const std::u16string wide = WideLower(AnsiToWide(std::string(1, static_cast<char>(byte))));
            lower.Wide[byte] = wide.size() == 1 ? wide[0] : static_cast<char16_t>(byte);
            lower.Ascii[byte] = lower.Wide[byte] < 0x80 ? static_cast<unsigned char>(lower.Wide[byte]) : 0x80;
        }
        return lower;
    }();
    return tables;
}

// ContainsText with the part prepared once. A search compares it with a text
// of every record, so texts in the code page (nearly all of a library) are
// lowered byte by byte through a table while they are compared; only UTF-8
// texts with characters beyond ASCII take the general conversion.
class TextFilter {
public:
    explicit TextFilter(const std::string& part)
        : needle_(WideLower(MarkedToWide(part))), lower_(LowerCodePage())
    {
        active_ = !needle_.empty();
        asciiOnly_ = std::all_of(needle_.begin(), needle_.end(), [](char16_t c) { return c < 0x80; });
        if (asciiOnly_)
            asciiNeedle_.assign(needle_.begin(), needle_.end());
    }
    bool Matches(std::string_view text) const { return !active_ || Contains(text); }

private:
    bool Contains(std::string_view text) const
    {
        const bool marked = IsMarked(text);
        const std::string_view rest = marked ? text.substr(1) : text;
        if (marked && HasHighBytes(rest))
            return WideLower(MarkedToWide(text)).find(needle_) != std::u16string::npos;
        return asciiOnly_ ? Find(rest, asciiNeedle_, lower_.Ascii) : Find(rest, needle_, lower_.Wide);
    }

    // Whether the needle occurs in the text lowered through the table.
    template <typename Needle, typename Table>
    static bool Find(std::string_view text, const Needle& needle, const Table& lower) noexcept
    {
        const auto byte = [&](std::size_t at) { return lower[static_cast<unsigned char>(text[at])]; };
        const std::size_t count = needle.size();
        for (std::size_t at = 0; at + count <= text.size(); ++at) {
            if (byte(at) != static_cast<typename Table::value_type>(needle[0]))
                continue;
            std::size_t same = 1;
            while (same < count && byte(at + same) == static_cast<typename Table::value_type>(needle[same]))
                ++same;
            if (same == count)
                return true;
        }
        return false;
    }

    bool active_ = false;
    std::u16string needle_;
    const LowerTables& lower_;
    bool asciiOnly_ = false;
    std::string asciiNeedle_;
};

bool InRange(std::int64_t value, const std::optional<std::int64_t>& from, const std::optional<std::int64_t>& to,
             std::int64_t allowance = 0) noexcept
{
    return (!from || value >= *from - allowance) && (!to || value <= *to + allowance);
}

bool Equal(std::int64_t value, const std::optional<std::int64_t>& wanted) noexcept
{
    return !wanted || value == *wanted;
}

// Two marked texts joined; marked when either is.
std::string JoinMarked(std::string_view a, std::string_view b)
{
    if (!IsMarked(a) && !IsMarked(b))
        return std::string(a) + std::string(b);
    return kTextMarker + MarkedToUtf8(a) + MarkedToUtf8(b);
}

bool IsPlainName(std::string_view name) noexcept
{
    const std::string_view rest = IsMarked(name) ? name.substr(1) : name;
    return !rest.empty() && rest != "." && rest != ".." && rest.find_first_of("\\/:") == std::string_view::npos;
}

std::string ErrorLine(const std::string& text)
{
    return "**** " + Tr("Search") + ": " + text;
}

// The separation test on the song's history: passes when no entry lies at
// or before the play time; otherwise fails when the nearest earlier entry,
// or else the nearest later one, lies less than the window from it.
bool PassesSeparation(std::span<const std::uint8_t> history, TDateTime when, std::int32_t minutes)
{
    if (minutes <= 0)
        return true;
    std::optional<TDateTime> earlier, later;
    for (std::size_t at = 0; at + 4 <= history.size(); at += 4) {
        const std::uint32_t slot = LoadLE32(history, at);
        if (slot <= kEmptyHistorySlot)
            continue;
        const TDateTime entry = DosDateTimeToDateTime(slot);
        if (entry <= 0)
            continue;
        if (entry <= when)
            earlier = earlier ? std::max(*earlier, entry) : entry;
        else
            later = later ? std::min(*later, entry) : entry;
    }
    if (!earlier)
        return true;
    const auto within = [&](TDateTime a, TDateTime b) {
        return std::llround((b - a) * 86400.0) < static_cast<std::int64_t>(minutes) * 60;
    };
    return !within(*earlier, when) && !(later && within(when, *later));
}

// One search: the request's filters prepared once, then databases scanned
// depth first along the references.
class Scan {
public:
    Scan(const SearchRequest& request, const SearchEnvironment& environment, SearchResult& result)
        : request_(request), environment_(environment), result_(result),
          artist_(request.Artist), title_(request.Title), album_(request.Album),
          genre_(request.Genre), mood_(request.Mood),
          ending_(request.Ending ? MarkedToUtf8(*request.Ending) : std::string())
    {
        const TDateTime play = DosDateTimeToDateTime(request.PlayTime);
        when_ = play > 0 ? play : environment.Now;
    }

    void Database(const std::string& name, bool braced, int depth)
    {
        const std::string fileName = braced ? JoinMarked(JoinMarked("{", name), "}.dat") : JoinMarked(name, ".dat");
        const std::string path = JoinMarked(environment_.DataFolder, fileName);
        if (!FileExistsMarked(path)) {
            Error(Tr("File not found") + ": " + path);
            if (depth == 0 && result_.Items.size() == 1)
                result_.Items = {Tr("File not found"), MarkedToUtf8(path)};
            return;
        }
        const auto stream = OpenFileStreamRetry(path, kOpenAttempts, kSharedReading);
        if (!stream) {
            Error(Tr("Unable to open file") + ": " + path);
            return;
        }
        path_.push_back(Key(name, braced));
        try {
            Records(*stream, name, braced, depth);
        } catch (const std::exception&) {
            // A read error ends this database's scan with the results so far.
        }
        path_.pop_back();
    }

private:
    void Records(TVRNFileStream& stream, const std::string& name, bool braced, int depth)
    {
        LibraryReader reader(stream);
        if (reader.Version() <= kNewestRefusedVersion) {
            Error(Tr("Incompatible version of Cadmora") + " (" + std::to_string(reader.Version()) + ")");
            return;
        }
        const std::string source = MarkedToUtf8(name);
        std::uint32_t number = 0;
        for (auto record = reader.Next(); record; record = reader.Next(), ++number) {
            if (IsDatabaseReference(record->FileName)) {
                if (!request_.NoReferences && depth < kMaxReferenceDepth)
                    Reference(record->FileName, depth);
                continue;
            }
            if (!Filters(*record))
                continue;
            bool allowed = true, separated = true;
            if (request_.RestrictionMode != 0) {
                allowed = Allowed(*record);
                separated = braced || PassesSeparation(record->LastScheduled, when_, environment_.SeparationMinutes);
                if (request_.RestrictionMode == 1 && !(allowed && separated))
                    continue;
            }
            result_.Items.push_back(Columns(*record, allowed, separated, source, number));
        }
    }

    void Reference(std::string_view fileName, int depth)
    {
        std::string name(fileName.substr(0, fileName.size() - 4));
        const std::string_view bare = IsMarked(name) ? std::string_view(name).substr(1) : std::string_view(name);
        const bool braced = bare.size() >= 2 && bare.front() == '{' && bare.back() == '}';
        if (braced)
            name = (IsMarked(name) ? std::string(1, kTextMarker) : std::string()) + std::string(bare.substr(1, bare.size() - 2));
        if (std::find(path_.begin(), path_.end(), Key(name, braced)) != path_.end())
            return;
        if (environment_.MaySearch && !environment_.MaySearch(name))
            return;
        Database(name, braced, depth + 1);
    }

    bool Filters(const LibraryRecordView& r) const
    {
        const SearchRequest& q = request_;
        return InRange(r.Year, q.FromYear, q.ToYear)
            && InRange(r.DurationMs, q.FromDuration, q.ToDuration, kDurationAllowanceMs)
            && InRange(r.BitRate, q.FromBitRate, q.ToBitRate) && InRange(r.Rating, q.FromRating, q.ToRating)
            && Equal(r.Tempo, q.Tempo) && Equal(r.Energy, q.Energy) && Equal(r.Era, q.Era)
            && (!q.Ending || TransitionName(r.TransitionMs) == ending_)
            && artist_.Matches(r.Artist) && title_.Matches(r.Title) && album_.Matches(r.Album)
            && genre_.Matches(r.Genre) && mood_.Matches(r.Mood);
    }

    // The restriction at the play time. A song whose restriction has ended
    // with "delete after the end" set may be deleted by the test: only an
    // audio file, and each deletion is logged.
    bool Allowed(const LibraryRecordView& r) const
    {
        const auto restriction = TSongRestriction::FromBytes(r.Restriction);
        if (!restriction)
            return false;
        const std::string fileName(r.FileName);
        const bool mayDelete = restriction->DeleteAfterEnd != 0 && IsKnownAudioExtension(fileName)
            && FileExistsMarked(fileName);
        const bool allowed = IsAllowedAt(*restriction, mayDelete ? fileName : std::string(), environment_.Now, when_);
        if (mayDelete && !FileExistsMarked(fileName) && environment_.Log)
            environment_.Log(TrFormat("Deleted %0:s: its restriction has ended", {fileName}));
        return allowed;
    }

    std::string Columns(const LibraryRecordView& r, bool allowed, bool separated, const std::string& source,
                        std::uint32_t number) const
    {
        const std::uint32_t newest = r.NewestLastScheduled();
        return CommaListText({MarkedToUtf8(r.FileName), MarkedToUtf8(r.Artist), MarkedToUtf8(r.Title),
                              MarkedToUtf8(r.Album), MarkedToUtf8(r.Genre), MarkedToUtf8(r.Mood),
                              std::to_string(r.Year), std::to_string(r.DurationMs), std::to_string(r.BitRate),
                              std::to_string(r.Rating), std::to_string(r.Tempo), std::to_string(r.Energy),
                              std::to_string(r.Era), std::to_string(r.TransitionMs), TransitionName(r.TransitionMs),
                              allowed ? "1" : "0", separated ? "1" : "0",
                              std::to_string(newest > kEmptyHistorySlot ? newest : kEmptyHistorySlot), source,
                              std::to_string(number)});
    }

    void Error(const std::string& text)
    {
        result_.Items.push_back(MarkedToUtf8(text));
        if (environment_.Log)
            environment_.Log(ErrorLine(text));
    }

    static std::string Key(const std::string& name, bool braced)
    {
        return (braced ? "1" : "0") + MarkedToUtf8(AsciiLower(name));
    }

    const SearchRequest& request_;
    const SearchEnvironment& environment_;
    SearchResult& result_;
    TextFilter artist_, title_, album_, genre_, mood_;
    std::string ending_;
    TDateTime when_ = 0;
    std::vector<std::string> path_;
};

bool NeedsQuotes(std::string_view item) noexcept
{
    return item.empty() || std::any_of(item.begin(), item.end(), [](char c) {
               return static_cast<unsigned char>(c) <= 0x20 || c == ',' || c == '"' || c == 0x7F;
           });
}

} // namespace

SearchResult SearchLibrary(const SearchRequest& request, const SearchEnvironment& environment)
{
    SearchResult result;
    const bool ownFile = !request.Braced && AsciiLower(request.Database) == "zodavizi";
    if (!IsPlainName(request.Database) || ownFile) {
        if (environment.Log)
            environment.Log(ErrorLine(TrFormat("Not a library database: %0:s", {request.Database})));
        result.Refused = true;
        return result;
    }
    if (environment.MaySearch && !environment.MaySearch(request.Database)) {
        result.Refused = true;
        return result;
    }
    Scan(request, environment, result).Database(request.Database, request.Braced, 0);
    return result;
}

std::string SearchReply(const SearchResult& result)
{
    if (result.Refused || result.Items.empty())
        return "0\r\n";
    const std::string text = CommaListText(result.Items);
    return std::to_string(text.size()) + "\r\n" + text;
}

std::string CommaListText(const std::vector<std::string>& items)
{
    std::size_t size = items.size();
    for (const auto& item : items)
        size += item.size() + 2;
    std::string text;
    text.reserve(size);
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            text += ',';
        const std::string& item = items[i];
        if (!NeedsQuotes(item)) {
            text += item;
            continue;
        }
        text += '"';
        for (std::size_t start = 0;;) {
            const std::size_t quote = item.find('"', start);
            text.append(item, start, quote == std::string::npos ? std::string::npos : quote + 1 - start);
            if (quote == std::string::npos)
                break;
            text += '"';
            start = quote + 1;
        }
        text += '"';
    }
    return text;
}

const std::vector<std::string>& SearchColumnTitles()
{
    static const std::vector<std::string> titles{
        "File",  "Artist", "Title",      "Album",      "Genre",       "Mood",      "Year",
        "Duration", "BitRate", "Rating", "Tempo",      "Energy",      "Era",       "Transition",
        "Ending", "Allowed", "Separated", "LastScheduled", "Database", "Record"};
    return titles;
}

} // namespace zd
