#include "scheduler/SchedulerSettings.hpp"

#include "common/Numbers.hpp"
#include "audio/RetryOpen.hpp"
#include "audio/TextFileReader.hpp"

#include <charconv>
#include <mutex>

namespace zd {
namespace {

// Space and the control characters count as blanks between items.
bool IsBlank(char c) noexcept
{
    return static_cast<unsigned char>(c) <= ' ';
}

std::mutex snapshotMutex;
std::shared_ptr<const SchedulerSettings> snapshot = std::make_shared<const SchedulerSettings>();

void Publish(std::shared_ptr<const SchedulerSettings> next)
{
    std::lock_guard lock(snapshotMutex);
    snapshot = std::move(next);
}

// A whole item that is a decimal integer (optional sign) within 32 bits.
bool StrictInteger(const std::string& text, std::int32_t& value) noexcept
{
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+')
        ++first;
    if (first == last)
        return false;
    std::int32_t parsed = 0;
    const auto [end, error] = std::from_chars(first, last, parsed);
    if (error != std::errc() || end != last)
        return false;
    value = parsed;
    return true;
}

std::string CutBeforeQuoteStop(const std::string& text)
{
    const auto at = text.find("\".");
    return at == std::string::npos ? text : text.substr(0, at);
}

} // namespace

void ForEachCommaItem(std::string_view line, const std::function<void(std::string&&)>& emit)
{
    std::size_t i = 0;
    const std::size_t n = line.size();
    while (i < n && IsBlank(line[i]))
        ++i;
    while (i < n) {
        std::string item;
        if (line[i] == '"') {
            ++i;
            while (i < n) {
                if (line[i] == '"') {
                    if (i + 1 < n && line[i + 1] == '"') {
                        item += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += line[i++];
            }
        } else {
            while (i < n && line[i] != ',' && !IsBlank(line[i]))
                item += line[i++];
        }
        emit(std::move(item));
        while (i < n && IsBlank(line[i]))
            ++i;
        if (i < n && line[i] == ',') {
            ++i;
            if (i == n)
                emit(std::string());  // a comma that ends the line adds an empty item
            while (i < n && IsBlank(line[i]))
                ++i;
        }
    }
}

std::vector<std::string> SplitCommaList(std::string_view line)
{
    std::vector<std::string> items;
    ForEachCommaItem(line, [&items](std::string&& item) { items.push_back(std::move(item)); });
    return items;
}

std::string WithBackslash(std::string folder)
{
    if (folder.empty() || folder.back() != '\\')
        folder += '\\';
    return folder;
}

bool ApplySchedulerItems(const std::vector<std::string>& items, SchedulerSettings& values)
{
    auto has = [&](std::size_t index) { return index < items.size(); };
    auto integer = [&](std::size_t index, std::int32_t& out) {
        return has(index) && StrictInteger(items[index], out);
    };
    auto text = [&](std::size_t index, std::string& out) {
        if (!has(index))
            return false;
        out = items[index];
        return true;
    };

    std::int32_t number = 0;
    if (!integer(3, number)) return false;
    values.Value3 = static_cast<std::uint8_t>(number);
    if (!integer(4, values.Value4)) return false;
    if (!integer(5, values.Value5)) return false;
    if (!text(6, values.Value6)) return false;
    if (!text(7, values.Value7)) return false;
    if (!has(8)) return false;
    values.PlaylistWriteFolder = WithBackslash(items[8]);
    if (!text(23, values.Value23)) return false;
    if (!text(24, values.Value24)) return false;
    if (!text(25, values.Value25)) return false;
    if (!text(26, values.Value26)) return false;
    if (!text(28, values.Value28)) return false;
    if (!has(33)) return false;
    values.Value33NotOne = items[33] != "1";
    if (!has(34)) return false;
    values.PlaylistFolder = WithBackslash(items[34]);
    if (!text(40, values.Value40)) return false;
    if (!text(41, values.Value41)) return false;
    if (!has(42)) return false;
    values.Value42 = static_cast<std::uint8_t>(TextToIntDef0(items[42]));
    if (!has(47)) return false;
    values.VoiceTrackFolder = WithBackslash(items[47]);
    if (!has(58)) return false;
    values.Value58IsOne = items[58] == "1";
    if (!has(61)) return false;
    values.Value61 = CutBeforeQuoteStop(items[61]);
    if (!text(74, values.Value74)) return false;
    if (!text(75, values.Value75)) return false;
    if (!text(76, values.Value76)) return false;
    if (!has(129)) return false;
    values.Colour129 = TextToIntDef0(items[129]);
    return true;
}

void SetSchedulerDataFolder(std::string dataFolder)
{
    std::lock_guard lock(snapshotMutex);
    auto next = std::make_shared<SchedulerSettings>(*snapshot);
    next->DataFolder = std::move(dataFolder);
    snapshot = std::move(next);
}

bool LoadSchedulerSettingsFromLine(std::string_view firstLine) noexcept
{
    try {
        auto next = std::make_shared<SchedulerSettings>(*CurrentSchedulerSettings());
        const bool complete = ApplySchedulerItems(SplitCommaList(firstLine), *next);
        Publish(std::move(next));
        return complete;
    } catch (...) {
        return false;
    }
}

bool LoadSchedulerSettings() noexcept
{
    try {
        TextFileReader file;
        if (!OpenTextFileRetry(file, DataFolder() + "VRNCadmora.dat", 8))
            return false;
        std::string line;
        file.ReadLine(line);  // an empty file gives an empty line, which fails below
        file.Close();
        return LoadSchedulerSettingsFromLine(line);
    } catch (...) {
        return false;
    }
}

std::shared_ptr<const SchedulerSettings> CurrentSchedulerSettings() noexcept
{
    std::lock_guard lock(snapshotMutex);
    return snapshot;
}

std::string DataFolder() { return CurrentSchedulerSettings()->DataFolder; }
std::string PlaylistFolder() { return CurrentSchedulerSettings()->PlaylistFolder; }
std::string VoiceTrackFolder() { return CurrentSchedulerSettings()->VoiceTrackFolder; }
std::string PlaylistWriteFolder() { return CurrentSchedulerSettings()->PlaylistWriteFolder; }

} // namespace zd
