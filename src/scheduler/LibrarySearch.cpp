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
#include <cmath>

namespace zd {
namespace {

constexpr int kOpenAttempts = 8;
constexpr std::uint16_t kSharedReading = kOpenRead | kShareDenyNone;

// ContainsText with the part prepared once; texts in plain ASCII (most of a
// library) are compared without conversion.
class TextFilter {
public:
    explicit TextFilter(const std::string& part)
        : active_(!part.empty()), needle_(WideLower(MarkedToWide(part)))
    {
        asciiOnly_ = std::all_of(needle_.begin(), needle_.end(), [](char16_t c) { return c < 0x80; });
        if (asciiOnly_)
            asciiNeedle_.assign(needle_.begin(), needle_.end());
    }
    bool Matches(std::string_view text) const
    {
        if (!active_)
            return true;
        const std::string_view rest = IsMarked(text) ? text.substr(1) : text;
        if (!HasHighBytes(rest)) {
            if (!asciiOnly_)
                return false;
            auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
            return std::search(rest.begin(), rest.end(), asciiNeedle_.begin(), asciiNeedle_.end(),
                               [&](char a, char b) { return lower(a) == b; })
                != rest.end();
        }
        return WideLower(MarkedToWide(text)).find(needle_) != std::u16string::npos;
    }

private:
    bool active_;
    std::u16string needle_;
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
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            text += ',';
        const std::string& item = items[i];
        if (!NeedsQuotes(item)) {
            text += item;
            continue;
        }
        text += '"';
        for (const char c : item) {
            if (c == '"')
                text += '"';
            text += c;
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
