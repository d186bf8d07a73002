#include <array>
#include <string_view>

#include "audio/FileDuration.hpp"
#include "audio/FileOps.hpp"
#include "audio/MarkedText.hpp"
#include "audio/tags/FormatImport.hpp"
#include "audio/tags/TAPETags.hpp"
#include "audio/tags/TagText.hpp"
#include "common/CodePage.hpp"
#include "common/DateTime.hpp"
#include "common/Numbers.hpp"
#include "common/Texts.hpp"

namespace zd {
namespace {

// Reads a container's own tags into the store under the store's names.
using TagImporter = void (*)(TAPETags& tags);

// The container tag readers by extension. A reader is one line here: put
// its function into its row.
struct ImportRow {
    std::array<std::string_view, 4> Extensions;
    TagImporter Import = nullptr;
};
constexpr ImportRow kImportRows[] = {
    {{".mp3", ".mp2"}, &ImportMP3Tags},
    {{".mp4", ".m4a", ".mp4a", ".m4p"}, &ImportMP4Tags},
    {{".wav"}, &ImportWAVTags},
    {{".ogg", ".opus", ".flac"}, &ImportVorbisTags},
    {{".wma"}, &ImportWMATags},
};

} // namespace

void TAPETags::ImportFormatTags()
{
    if (!opened_)
        return;
    if (TextToIntDef0(GetField("Duration")) < 1) {
        const std::int32_t duration = GetFileDuration(fileName_, stream_.get());
        if (duration > 0)
            SetFieldInt("Duration", duration);
    }
    const std::string extension = ExtensionLower(fileName_);
    for (const ImportRow& row : kImportRows) {
        for (const std::string_view candidate : row.Extensions) {
            if (!candidate.empty() && candidate == extension) {
                if (row.Import != nullptr)
                    row.Import(*this);
                return;
            }
        }
    }
}

void TAPETags::SetCleanField(std::string_view name, std::string_view text)
{
    if (text == "0")
        return;
    // A marked text is trimmed behind its marker.
    const std::string trimmed =
        IsMarked(text) ? std::string(1, kTextMarker) + std::string(TrimText(text.substr(1))) : std::string(TrimText(text));
    SetField(name, CutToChars(CleanTagText(trimmed), 255));
}

void TAPETags::SetYear(std::string_view text)
{
    std::int64_t year = TextToIntDef0(text);
    if (year == 0)
        return;
    if (year < 100) {
        const int current = DecodeDateTime(NowLocal()).Year;
        year = current < year + 2000 ? year + 1900 : year + 2000;
    }
    SetFieldInt("Year", year);
}

void TAPETags::SetWideField(std::string_view name, std::u16string_view wide)
{
    const std::string utf8 = WideToUtf8(wide);
    const std::string ansi = WideToAnsi(wide);
    SetField(name, utf8 != ansi ? std::string(1, kTextMarker) + utf8 : utf8);
}

void TAPETags::SetCleanWideField(std::string_view name, std::u16string_view wide)
{
    SetCleanField(name, MarkIfHigh(WideToUtf8(wide)));
}

std::int32_t TAPETags::DayNumber(std::string_view text) noexcept
{
    if (text.size() < 10)
        return 1;
    const std::int32_t year = TextToIntDef0(text.substr(0, 4));
    const std::int32_t month = TextToIntDef0(text.substr(5, 2));
    const std::int32_t day = TextToIntDef0(text.substr(8, 2));
    if (year <= 0 || month <= 0 || day <= 0)
        return 1;
    const auto date = EncodeDateTime(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    if (!date || *date <= 0)
        return 1;
    return static_cast<std::int32_t>(*date + 0.5);
}

void TAPETags::SetDateField(std::string_view name, std::string_view text)
{
    const std::int32_t day = DayNumber(text);
    if (day > 1)
        SetFieldInt(name, day);
}

void TAPETags::SetTempoText(std::string_view text)
{
    static constexpr std::pair<std::string_view, const char*> names[] = {
        {"slow", "1"},
        {"medium slow", "2"}, {"medium-slow", "2"}, {"slow medium", "2"}, {"slow-medium", "2"},
        {"medium", "3"},
        {"medium fast", "4"}, {"medium-fast", "4"}, {"fast medium", "4"}, {"fast-medium", "4"},
        {"fast", "5"},
    };
    const std::string lower = AsciiLower(text);
    for (const auto& [name, value] : names) {
        if (lower == name) {
            SetField("Tempo", value);
            return;
        }
    }
}

std::string TAPETags::NormalizeBPM(std::string_view text)
{
    std::size_t cut = text.find('.');
    if (cut == std::string_view::npos)
        cut = text.find(',');
    const std::int32_t bpm = TextToIntDef0(text.substr(0, cut));
    if (bpm < 1 || bpm > 255)
        return {};
    return std::to_string(bpm);
}

} // namespace zd
