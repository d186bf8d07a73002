#include "scheduler/SearchRequest.hpp"

#include "common/CodePage.hpp"
#include "common/MarkedText.hpp"
#include "common/Numbers.hpp"
#include "common/Texts.hpp"
#include "scheduler/SchedulerSettings.hpp"

#include <vector>

namespace zd {

std::string RequestText(std::string_view item)
{
    if (IsMarked(item) || !HasHighBytes(item) || !Utf8ToWide(item))
        return std::string(item);
    return kTextMarker + std::string(item);
}

SearchRequest ParseSearchRequest(std::string_view text)
{
    const std::vector<std::string> items = SplitCommaList(text);
    SearchRequest request;
    if (!items.empty())
        request.Database = RequestText(items[0]);
    if (items.size() > 1)
        request.Braced = TextToIntDef0(items[1]) != 0;
    if (items.size() > 2)
        request.PlayTime = static_cast<std::uint32_t>(TextToInt64Def0(items[2]));

    for (std::size_t i = 3; i < items.size(); ++i) {
        const std::string_view item = items[i];
        const std::size_t equals = item.find('=');
        if (equals == std::string_view::npos || equals + 1 == item.size())
            continue;
        const std::string key = AsciiLower(item.substr(0, equals));
        const std::string_view value = item.substr(equals + 1);
        const std::int64_t number = TextToInt64Def0(value);
        struct TextKey { const char* name; std::string* field; };
        struct NumberKey { const char* name; std::optional<std::int64_t>* field; };
        const TextKey texts[] = {{"a", &request.Artist}, {"t", &request.Title}, {"b", &request.Album},
                                 {"g", &request.Genre}, {"m", &request.Mood}};
        const NumberKey numbers[] = {
            {"fy", &request.FromYear},    {"ty", &request.ToYear},    {"fd", &request.FromDuration},
            {"td", &request.ToDuration},  {"fb", &request.FromBitRate}, {"tb", &request.ToBitRate},
            {"fr", &request.FromRating},  {"tr", &request.ToRating},  {"o", &request.Tempo},
            {"e", &request.Energy},       {"d", &request.Era}};
        for (const auto& [name, field] : texts)
            if (key == name)
                *field = RequestText(value);
        for (const auto& [name, field] : numbers)
            if (key == name)
                *field = number;
        if (key == "en")
            request.Ending = RequestText(value);
        else if (key == "sr")
            request.RestrictionMode = static_cast<std::int32_t>(number);
        else if (key == "ns")
            request.NoReferences = TrimText(value) == "1";
    }
    return request;
}

} // namespace zd
